#pragma once
// CValidRMCHolder keeps the last valid fix (an RMC record with status 'A') in memory and on disk,
// so that clients can ask for the last known position even before the receiver has a fix. The
// reader thread hands it every RMC record; the holder's own thread saves: at once for the first
// valid record after a start or a stretch of invalid ones (and for the last one when the fix is
// lost), otherwise at most once per period while an input runs, and at shutdown.

#include <atomic>

#include "fixstore/valid_rmc_files.h"
#include "nmea/rmc_record.h"
#include "platform/unique_handle.h"
#include "platform/win32.h"

class CValidRMCHolder {
  public:
    // Loads the stored fix from the namespace's state directory and starts the saving thread.
    explicit CValidRMCHolder(float period_seconds);
    // Stops the thread, which first saves a valid record not yet on disk.
    virtual ~CValidRMCHolder();
    // The same stop ahead of destruction, for an owner that must have the fix on disk before
    // it tears down anything else; later records are kept in memory only. Called by the owner
    // only, once or more.
    void stop();
    CValidRMCHolder(const CValidRMCHolder&) = delete;
    CValidRMCHolder& operator=(const CValidRMCHolder&) = delete;

    // For every decoded RMC record, valid or not; only records with status 'A' are kept.
    void update_rmc(const CRMCRecord& record);
    // The last valid record kept; its status tells whether there is one.
    void get_rmc(CRMCRecord& out);

    // Periodic saves happen only while this is 0. The data server lowers it with
    // InterlockedDecrement when an input starts and raises it with InterlockedIncrement when
    // one ends.
    LONG save_gate = 1;

  private:
    void init_names();
    void init_rmc();
    void init_thread();
    static DWORD thread_proc(LPVOID self);
    void run();
    void save();
    void set_force_update();

    CValidRMCFiles files_;
    CRMCRecord rmc_;
    CRITICAL_SECTION rmc_lock_;
    std::atomic<bool> saved_{false};
    GPS::unique_handle thread_;
    GPS::unique_handle stop_event_;
    GPS::unique_handle force_update_event_;
    DWORD period_;
    std::atomic<bool> valid_{false};
};
