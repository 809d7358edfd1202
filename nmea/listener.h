#pragma once
// What a reader reports to. Both calls come on the reader's thread.

class CNMEARecord;

class CNMEAListener {
  public:
    // A decoded record with its NMEAMessageId. The record belongs to the parser and is valid
    // only during the call: serialize or copy it before returning.
    virtual void on_message(int id, CNMEARecord* record) = 0;
    // The input ended: 1 at its normal end, 0 when it failed.
    virtual void set_state(int state) = 0;

  protected:
    // Readers hold listeners without owning them; nobody deletes one through this interface.
    ~CNMEAListener() = default;
};
