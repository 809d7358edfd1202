// `tarnwick config`: the service's settings in its registry key, and the gnss switch.

#include <cstdio>
#include <string>

#include "client/service_settings.h"
#include "platform/win32.h"
#include "tools/tarnwick/commands.h"
#include "tools/tarnwick/service_command.h"

namespace tarnwick::cli {
namespace {

struct ConfigOptions {
    std::string setting;
    std::string value;
};

std::string shown(const std::wstring& text) {
    return text.empty() ? "(none)" : narrow(text);
}

int show_settings() {
    const client::ServiceSettings settings = client::read_service_settings();
    std::printf("path  %s\n", shown(settings.path).c_str());
    std::printf("port  %s\n", shown(settings.port).c_str());
    if (settings.baud) {
        std::printf("baud  %u\n", static_cast<unsigned>(*settings.baud));
    } else {
        std::printf("baud  (none)\n");
    }
    std::printf("gnss  %s\n", settings.gnss_on() ? "on (every satellite system)"
                                                 : "off (receivers of the talker GP only)");
    return exit_ok;
}

int change(const ConfigOptions& options) {
    if (options.setting.empty()) {
        return show_settings();
    }
    if (options.setting != "gnss" || (options.value != "on" && options.value != "off")) {
        return fail("config", "usage: tarnwick config [gnss on|off]", exit_usage);
    }
    if (!client::write_gnss_setting(options.value == "on")) {
        return fail(
            "config",
            "the registry refused the change (error " + std::to_string(GetLastError()) + ")",
            exit_request_failed);
    }
    std::printf(
        "gnss %s: inputs the service opens from now on %s\n", options.value.c_str(),
        options.value == "on" ? "decode every satellite system" : "decode the talker GP only");
    return exit_ok;
}

}  // namespace

void add_config_command(CLI::App& app, int& exit_code) {
    auto options = std::make_shared<ConfigOptions>();
    CLI::App* command =
        app.add_subcommand("config",
                           "Show the service's settings (path, port, baud, gnss) or "
                           "turn the gnss setting on or off");
    command->footer(
        "gnss on: receivers of every satellite system (GPS, GLONASS, Galileo, BeiDou, QZSS,\n"
        "NavIC; NMEA 0183 4.x talkers GN, GL, GA, GB, BD, GQ, GI), which most receivers of the\n"
        "last ten years are; scans also try 115200 and 230400 baud. gnss off: the talker GP\n"
        "only, as the service always did. The setting is the REG_DWORD value \"gnss\" of the\n"
        "service's key. It applies to every input opened after the change: a running input\n"
        "keeps decoding as it did until it is opened again (tarnwick disconnect, then connect).\n"
        "Examples:\n"
        "  tarnwick config\n"
        "  tarnwick config gnss on && tarnwick disconnect && tarnwick connect");
    command->add_option("SETTING", options->setting, "gnss")->check(CLI::IsMember({"gnss"}));
    command->add_option("VALUE", options->value, "on or off")->check(CLI::IsMember({"on", "off"}));
    command->callback([options, &exit_code] { exit_code = change(*options); });
}

}  // namespace tarnwick::cli
