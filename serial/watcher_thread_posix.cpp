#include "serial/watcher_thread.h"

#include <pthread.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>

void EnterWatcherThread() {
    pthread_setname_np(pthread_self(), "comm-watcher");
    // On Linux the nice value is per thread: one step up is "below normal".
    const int tid = static_cast<int>(syscall(SYS_gettid));
    errno = 0;
    const int nice = getpriority(PRIO_PROCESS, static_cast<id_t>(tid));
    if (errno == 0 && nice < 19) {
        setpriority(PRIO_PROCESS, static_cast<id_t>(tid), nice + 1);
    }
}
