#pragma once
// The transfer file hands a measurement to the calling program: a header line, then
// numbered key=value lines with a decimal comma, Windows-1252, CR LF after every line
// (the last included). Composition only; writing the bytes to disk is the caller's job.

#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "data/measurement.h"

/// The values the user enters by hand in the main window.
struct ManualEntries {
    double boilerTemperature = 60.0;  ///< SEWTT, key 1401
    double smokeNumber1 = 0.0;        ///< SERZ1, key 6020
    double smokeNumber2 = 0.0;        ///< SERZ2, key 6120
    double smokeNumber3 = 0.0;        ///< SERZ3, key 6220
    bool smokeInputsOn = false;       ///< CBRZaktiv: lines 6020..6320 only when checked
    int oilDerivativeIndex = 0;       ///< ElCBderivate: 0 "Nein", 1 "Ja", -1 none selected
};

/// An identification request and the key its reply is written under.
struct IdentificationRequest {
    const char* command;
    int key;
};

/// The identification lines in file order: "R001" -> 9000, "R002" -> 9100, "R004" -> 9200.
inline constexpr std::array<IdentificationRequest, 3> kIdentificationRequests{{
    {"R001", 9000},
    {"R002", 9100},
    {"R004", 9200},
}};

/// Builds the file line by line, in the order the writer collects the lines, so that a
/// writer waiting for the analyser between lines can add each group when it has it.
class TransferFileBuilder {
public:
    /// Line 1: the header line (may be empty). Starts a new file: earlier lines are dropped.
    void AddHeaderLine(std::string_view headerLine);

    /// Lines 2..20: the valid measured values, the boiler temperature (always), the smoke
    /// lines when `entries.smokeInputsOn`, and 6420 when `firingTypeParameter` is not empty.
    /// SO2 (channel 7) is written only when `so2Key` is not empty, as "<so2Key>=<value>"
    /// with no decimals, after CO2: under the flue-gas temperature's key 1101 a receiving
    /// program would take it for the temperature.
    void AddValueLines(const MeasurementRecord& record, const ManualEntries& entries,
                       std::string_view firingTypeParameter, std::string_view so2Key);

    /// One identification line, "<key>=<reply>" with every control byte of the reply (CR
    /// and LF among them) turned into a blank (see kIdentificationRequests, PrintableLine).
    void AddIdentificationLine(int key, std::string_view reply);

    /// The lines collected so far, without line ends.
    const std::vector<std::string>& Lines() const { return lines_; }

    /// The file content: every line followed by CR LF.
    std::string Bytes() const;

private:
    std::vector<std::string> lines_;
};
