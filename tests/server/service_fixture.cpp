#include "tests/server/service_fixture.h"

#include "tests/tools/tool_runner.h"

namespace tarnwick::test {

void ServiceTest::TearDown() {
    session_.reset();
    service_.reset();
    PrivateNamespace::TearDown();
}

void ServiceTest::start_service(const std::vector<std::string>& args,
                                ServiceProcess::Errors errors) {
    service_ = std::make_unique<ServiceProcess>(args, errors);
    ASSERT_TRUE(service_->wait_ready());
    session_ = std::make_unique<ServiceSession>();
}

std::unique_ptr<SimProcess> ServiceTest::start_receiver(const std::string& name,
                                                        std::vector<std::string> options) {
    std::vector<std::string> args = {"serial", "--name", name, "--rate", "5"};
    args.insert(args.end(), options.begin(), options.end());
    auto sim = std::make_unique<SimProcess>(args);
    const std::string line = sim->first_line();
    EXPECT_TRUE(line.starts_with(name + " /dev/")) << line << sim->log();
    return sim;
}

std::filesystem::path ServiceTest::make_track(int seconds) {
    const std::filesystem::path path = home() / ("track" + std::to_string(seconds) + ".nmea");
    const ToolRun run = run_tool(built_program("tools/tarnwick-sim/tarnwick-sim"),
                                 {"file", "--duration", std::to_string(seconds), path.string()});
    EXPECT_EQ(run.exit_code, 0) << run.err;
    return path;
}

std::vector<const client::StreamMessage*> ServiceTest::messages_with(std::int32_t id) const {
    std::vector<const client::StreamMessage*> found;
    for (const client::StreamMessage& message : session_->messages()) {
        if (message.id == id) {
            found.push_back(&message);
        }
    }
    return found;
}

}  // namespace tarnwick::test
