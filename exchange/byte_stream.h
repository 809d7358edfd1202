#pragma once
// The two byte-stream interfaces through which records, requests, answers and stored files pass.
// Integers travel as 4 little-endian bytes, reals as IEEE-754 single precision, one transfer call
// per value.

namespace GPS {

class istream {
  public:
    virtual ~istream() = default;
    // Copies the next n bytes into dst and advances past them. What happens when fewer than n
    // bytes can be delivered belongs to the implementation; one that delivers nothing marks the
    // stream failed, so that a reader of counted data can tell a refused read from a short one.
    virtual void read(void* dst, int n) = 0;

    // True once a read could not be delivered.
    bool failed() const noexcept { return failed_; }
    // Forgets a read that could not be delivered, for a reader that goes on after it: one that
    // copied nothing and kept its place (the requests of a batch) can still read what follows.
    void clear_failed() noexcept { failed_ = false; }

  protected:
    istream() = default;
    istream(const istream&) = delete;
    istream& operator=(const istream&) = delete;
    void set_failed() noexcept { failed_ = true; }

  private:
    bool failed_ = false;
};

class ostream {
  public:
    virtual ~ostream() = default;
    // Appends n bytes. Whether they were stored is reported, if at all, by the implementation.
    virtual void write(const void* src, int n) = 0;

  protected:
    ostream() = default;
    ostream(const ostream&) = delete;
    ostream& operator=(const ostream&) = delete;
};

}  // namespace GPS
