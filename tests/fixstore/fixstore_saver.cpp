// A service-like process for the crash test: it loads the stored fix, reports it, then hands the
// store valid and invalid fixes as fast as it can, so that saves run back to back, until it is
// killed.
//
//   fixstore_saver <first id>   prints "loaded <id> <status> <whole>", then "saving"
#include <cstdio>
#include <cstdlib>

#include "fixstore/valid_rmc_holder.h"
#include "tests/fixstore/fix_records.h"

int main(int argc, char** argv) {
    if (argc < 2) {
        return 2;
    }
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    CValidRMCHolder holder(0.001f);
    CRMCRecord loaded;
    holder.get_rmc(loaded);
    std::printf("loaded %d %c %d\n", loaded.position.lat_deg,
                loaded.status != 0 ? loaded.status : '-',
                tarnwick::test::is_whole_fix(loaded) ? 1 : 0);
    InterlockedDecrement(&holder.save_gate);
    std::printf("saving\n");
    for (int id = std::atoi(argv[1]);; ++id) {
        holder.update_rmc(tarnwick::test::fix_record(id));
        holder.update_rmc(tarnwick::test::fix_record(id, 'V'));
    }
}
