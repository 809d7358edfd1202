#include "tools/common/record_line.h"

#include <charconv>

#include "client/record_conversion.h"
#include "tools/common/record_hex.h"
#include "tools/common/record_json.h"

namespace tarnwick::tools {

void append_record_line(std::string& out, RecordFormat format, int id, const CNMEARecord& record) {
    if (format == RecordFormat::Raw) {
        char text[12];
        out.append(text, std::to_chars(text, text + sizeof text, id).ptr);
        out += ' ';
        append_record_hex(out, record);
    } else {
        append_record_json(out, *client::to_record(id, record));
    }
    out += '\n';
}

}  // namespace tarnwick::tools
