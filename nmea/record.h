#pragma once
// The common base of every sentence record and of the blocks records are built from. Each
// serializes itself field by field, little-endian, without tags or padding: that byte form is
// what clients receive and what the fix store keeps on disk.

#include "exchange/byte_stream.h"
#include "exchange/memory_stream.h"

class CNMEARecord {
  public:
    virtual ~CNMEARecord() = default;
    virtual void serialize(GPS::ostream& out) const = 0;
    // The same bytes into the memory stream messages are composed in, with one virtual call per
    // record instead of one per field.
    virtual void serialize(GPS::memory_ostream& out) const = 0;
    // Reads the same layout back, each field straight into its member, without validation.
    virtual void deserialize(GPS::istream& in) = 0;

  protected:
    CNMEARecord() = default;
    CNMEARecord(const CNMEARecord&) = default;
    CNMEARecord& operator=(const CNMEARecord&) = default;
};
