// A client under load: sends request batches to the running service as fast as it can for a
// number of seconds and checks every answer against what the test set up (a serial input at the
// given port and rate, no tick stamps). Prints one line,
//   batches N failed F
// and exits with 0 when every batch was answered well, 1 otherwise.
//
// Usage: load_client SECONDS PORT BAUD

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "base/utf8.h"
#include "client/client.h"

namespace {

using namespace tarnwick::client;

struct Expected {
    std::wstring port;
    std::int32_t baud = 0;
};

class AnswerChecker {
  public:
    explicit AnswerChecker(Expected expected) : expected_(std::move(expected)) {}

    // The answers to one batch of add_requests(), in order.
    bool well_formed(const std::vector<Answer>& answers) {
        if (answers.size() != 4) {
            return false;
        }
        const Answer& tstamp = answers[0];
        const Answer& mode = answers[1];
        const Answer& connection = answers[2];
        const Answer& fix = answers[3];
        const bool fix_well_formed = fix.result == 1 ? fix.fix.has_value() && fix.fix->status == 'A'
                                                     : fix.result == 0 && !fix.fix.has_value();
        // Once the service holds a valid fix, it never forgets it.
        const bool fix_kept = fix.result == 1 || !had_fix_;
        had_fix_ = had_fix_ || fix.result == 1;
        return tstamp.result == 0 && mode.result == 1 && connection.result == 1 &&
               connection.port == expected_.port && connection.baud == expected_.baud &&
               fix_well_formed && fix_kept;
    }

    // The batch every round sends, whose answers well_formed() checks.
    static void add_requests(RequestBatch& batch) {
        batch.get_time_stamp_mode().get_input_mode().get_connection().get_valid_rmc();
    }

  private:
    Expected expected_;
    bool had_fix_ = false;
};

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: load_client SECONDS PORT BAUD\n");
        return 2;
    }
    const auto run_for = std::chrono::duration<double>(std::atof(argv[1]));
    AnswerChecker checker(
        {tarnwick::from_utf8(argv[2]), static_cast<std::int32_t>(std::atoi(argv[3]))});
    ClientOptions options;
    options.may_start = false;
    std::unique_ptr<Client> client;
    if (Client::open(options, client) != ClientError::none) {
        std::printf("batches 0 failed 1\n");
        return 1;
    }
    RequestBatch batch;
    AnswerChecker::add_requests(batch);
    long batches = 0;
    long failed = 0;
    const auto end = std::chrono::steady_clock::now() + run_for;
    std::vector<Answer> answers;
    while (std::chrono::steady_clock::now() < end) {
        const ClientError error = client->send(batch, answers);
        ++batches;
        if (error != ClientError::none || !checker.well_formed(answers)) {
            ++failed;
            std::fprintf(stderr, "load_client: batch %ld: %s\n", batches, describe(error));
        }
    }
    std::printf("batches %ld failed %ld\n", batches, failed);
    return failed == 0 && batches > 0 ? 0 : 1;
}
