#pragma once
// The two files that keep the last valid fix across restarts: "curr_valid.rmc" with the newest
// record and "prev_valid.rmc" with the one saved before it, each one serialized RMC record.
//
// The order of file operations keeps a valid record on disk at every moment, even when the
// process dies in the middle of a save: the current file is only replaced once the previous
// name holds a complete copy of it, and a current file that a save left short or unfinished is
// passed over on loading in favour of the previous one.

#include <string>

#include "nmea/rmc_record.h"

class CValidRMCFiles {
  public:
    // `directory` ends with a path separator.
    explicit CValidRMCFiles(const std::wstring& directory);

    const std::wstring& prev_name() const noexcept { return prev_name_; }
    const std::wstring& curr_name() const noexcept { return curr_name_; }

    // Reads the newest complete record with status 'A' into `out`: the current file, else the
    // previous one, which then becomes the current one again. A file that is too short or holds
    // no valid record is deleted. False, with `out` untouched, when neither file has one.
    bool load(CRMCRecord& out);

    // Writes `record` as the current file, moving the current one to the previous name first
    // when it is known to be complete. False when the file could not be written.
    bool save(const CRMCRecord& record);

  private:
    enum class outcome { loaded, unusable, unopened };
    static outcome load_file(const std::wstring& name, CRMCRecord& out);
    bool make_previous_current();

    std::wstring prev_name_;
    std::wstring curr_name_;
    // The current file holds a complete valid record (loaded or written by this process).
    bool current_complete_ = false;
};
