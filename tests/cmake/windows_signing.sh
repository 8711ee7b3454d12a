#!/usr/bin/env bash
# Signing of the Windows packages (cmake/windows_packages.cmake), with a certificate made
# here and thrown away afterwards (never one of the project's).
#   windows_signing.sh certificate DIR
#     Makes DIR/signing.p12 (a self-signed code-signing certificate and its key),
#     DIR/password (its password) and DIR/signing.pem (the certificate alone): what
#     FUMILINK_SIGN_PKCS12 and FUMILINK_SIGN_PASSWORD_FILE name for a build.
#   windows_signing.sh check BUILD DIR
#     BUILD was configured with that certificate. Its zip and MSI in BUILD/dist: the
#     fumilink.exe of both is the same file, signed (Authenticode, SHA-256) with DIR's
#     certificate, and so is the MSI. Then the packaging again, with a time stamp: from a
#     time-stamp server of our own (RFC 3161, openssl ts behind socat) the exe and the MSI
#     carry a time stamp that verifies against its certificate; from a server that does
#     not answer, the packaging fails instead of leaving the time stamp out.
# Needs openssl, osslsigncode, msitools (msiextract), socat.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
packages_script=$here/../../cmake/windows_packages.cmake

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

make_certificate() { # DIR
  local dir=$1
  mkdir -p "$dir"
  openssl rand -hex 16 > "$dir/password"
  openssl req -x509 -newkey rsa:2048 -noenc -days 2 -subj "/CN=Fumilink test signing" \
    -addext "keyUsage=critical,digitalSignature" -addext "extendedKeyUsage=codeSigning" \
    -keyout "$dir/signing-key.pem" -out "$dir/signing.pem" 2> /dev/null
  openssl pkcs12 -export -inkey "$dir/signing-key.pem" -in "$dir/signing.pem" \
    -passout "file:$dir/password" -out "$dir/signing.p12"
  rm -f "$dir/signing-key.pem"
}

# signed_by FILE CERTIFICATE [TSA_CERTIFICATE]: FILE carries a valid SHA-256 Authenticode
# signature of CERTIFICATE (and a time stamp of TSA_CERTIFICATE's server).
signed_by() {
  local file=$1 certificate=$2 tsa=${3:-} report
  report=$(osslsigncode verify -CAfile "$certificate" ${tsa:+-TSA-CAfile "$tsa"} -in "$file" 2>&1) ||
    fail "$(basename "$file"): no valid signature:"$'\n'"$report"
  grep -q 'Message digest algorithm *: SHA256' <<< "$report" ||
    fail "$(basename "$file"): not signed with SHA-256"
  if [ -n "$tsa" ]; then
    grep -q 'Timestamp Server Signature verification: ok' <<< "$report" ||
      fail "$(basename "$file"): no valid time stamp:"$'\n'"$report"
  fi
}

# check_packages ZIP MSI CERTIFICATE [TSA_CERTIFICATE]
check_packages() {
  local zip=$1 msi=$2 unpacked
  unpacked=$(mktemp -d "$work/unpacked-XXXXXX")
  (cd "$unpacked" && cmake -E tar xf "$zip") || fail "cannot unpack $zip"
  msiextract -C "$unpacked/msi" "$msi" > /dev/null || fail "cannot unpack $msi"
  cmp -s "$unpacked/fumilink.exe" "$unpacked/msi/Fumilink/fumilink.exe" ||
    fail "the zip and the MSI hold different fumilink.exe"
  signed_by "$unpacked/fumilink.exe" "${@:3}"
  signed_by "$msi" "${@:3}"
  echo "signed: fumilink.exe in $(basename "$zip") and $(basename "$msi"), and the MSI${4:+, time-stamped}"
}

# A time-stamp server on 127.0.0.1 (tsa_url), its certificate in $work/tsa.pem.
start_time_stamp_server() {
  local tsa=$work/tsa port
  mkdir -p "$tsa"
  openssl req -x509 -newkey rsa:2048 -noenc -days 2 -subj "/CN=Fumilink test time stamps" \
    -addext "keyUsage=critical,digitalSignature" -addext "extendedKeyUsage=critical,timeStamping" \
    -keyout "$tsa/key.pem" -out "$work/tsa.pem" 2> /dev/null
  cat > "$tsa/tsa.cnf" << EOF
[ tsa ]
default_tsa = test_tsa
[ test_tsa ]
serial = $tsa/serial
signer_cert = $work/tsa.pem
signer_key = $tsa/key.pem
signer_digest = sha256
default_policy = 1.3.6.1.4.1.99999.1
digests = sha256, sha384, sha512
accuracy = secs:1
ess_cert_id_alg = sha256
EOF
  # One HTTP exchange per connection: the request's body is the query, the answer's the
  # reply (bash reads the header a byte at a time, so the body stays for head).
  cat > "$tsa/answer.sh" << 'EOF'
length=0
while IFS= read -r line; do
  line=${line%$'\r'}
  [ -z "$line" ] && break
  case ${line,,} in content-length:*) length=${line//[^0-9]/} ;; esac
done
head -c "$length" > "$1/query.tsq"
openssl ts -reply -config "$1/tsa.cnf" -queryfile "$1/query.tsq" -out "$1/reply.tsr" 2> "$1/reply.log"
printf 'HTTP/1.1 200 OK\r\nContent-Type: application/timestamp-reply\r\nContent-Length: %d\r\nConnection: close\r\n\r\n' \
  "$(stat -c %s "$1/reply.tsr")"
cat "$1/reply.tsr"
EOF
  for _ in 1 2 3 4 5; do
    port=$((20000 + RANDOM % 20000))
    socat "TCP-LISTEN:$port,bind=127.0.0.1,reuseaddr,fork" "EXEC:bash $tsa/answer.sh $tsa" 2> /dev/null &
    tsa_pid=$!
    sleep 0.3
    if kill -0 "$tsa_pid" 2> /dev/null; then
      tsa_url=http://127.0.0.1:$port/
      return
    fi
  done
  fail "the time-stamp server did not start"
}

case ${1:-} in
  certificate)
    make_certificate "${2:?folder}"
    ;;
  check)
    build=$(realpath "${2:?build folder}")
    dir=$(realpath "${3:?certificate folder}")
    work=$(mktemp -d /tmp/fumilink-signing-XXXXXX)
    tsa_pid=
    clean_up() {
      if [ -n "$tsa_pid" ]; then kill "$tsa_pid" 2> /dev/null || true; fi
      rm -rf "$work"
    }
    trap clean_up EXIT
    zip=$(find "$build/dist" -maxdepth 1 -name 'fumilink-*-windows-x64.zip' | head -n 1)
    msi=${zip%.zip}.msi
    [ -f "$zip" ] && [ -f "$msi" ] || fail "no packages in $build/dist"
    check_packages "$zip" "$msi" "$dir/signing.pem"

    inputs=$build/app/windows_packages_inputs.cmake
    start_time_stamp_server
    cmake -DINPUTS="$inputs" -DZIP="$work/stamped/f.zip" -DMSI="$work/stamped/f.msi" \
      -DSIGN_PKCS12="$dir/signing.p12" -DSIGN_PASSWORD_FILE="$dir/password" \
      -DSIGN_TIMESTAMP_URL="$tsa_url" -P "$packages_script" > "$work/stamped.log" 2>&1 ||
      fail "packaging with a time stamp failed: $(cat "$work/stamped.log")"
    check_packages "$work/stamped/f.zip" "$work/stamped/f.msi" "$dir/signing.pem" "$work/tsa.pem"

    kill "$tsa_pid"
    wait "$tsa_pid" 2> /dev/null || true
    tsa_pid=
    if cmake -DINPUTS="$inputs" -DZIP="$work/unstamped/f.zip" -DMSI="$work/unstamped/f.msi" \
      -DSIGN_PKCS12="$dir/signing.p12" -DSIGN_PASSWORD_FILE="$dir/password" \
      -DSIGN_TIMESTAMP_URL="$tsa_url" -P "$packages_script" > "$work/unstamped.log" 2>&1; then
      fail "the packaging succeeded although the time-stamp server did not answer"
    fi
    [ ! -e "$work/unstamped/f.msi" ] || fail "an MSI was left without its time stamp"
    echo "a time-stamp server that does not answer stops the packaging"
    ;;
  *)
    echo "usage: $0 certificate DIR | check BUILD DIR" >&2
    exit 2
    ;;
esac
