#pragma once
// The serialization of every record, from the record's field list (see field_list.h).

#include "nmea/field_list.h"
#include "nmea/record.h"

template <typename Record>
class CFieldListRecord : public CNMEARecord {
  public:
    void serialize(GPS::ostream& out) const override { tarnwick::nmea::write_fields(out, self()); }
    void serialize(GPS::memory_ostream& out) const override {
        tarnwick::nmea::write_fields(out, self());
    }
    void deserialize(GPS::istream& in) override { tarnwick::nmea::read_fields(in, self()); }

  protected:
    CFieldListRecord() = default;

  private:
    const Record& self() const noexcept { return static_cast<const Record&>(*this); }
    Record& self() noexcept { return static_cast<Record&>(*this); }
};
