#include "bench/service/service_connection.h"

#include <stdexcept>

namespace tarnwick::bench {

std::unique_ptr<client::Client> open_client() {
    client::ClientOptions options;
    options.may_start = false;
    std::unique_ptr<client::Client> client;
    if (client::Client::open(options, client) != client::ClientError::none) {
        throw std::runtime_error("cannot open the service's channels");
    }
    return client;
}

void connect_service(client::Client& client, const std::wstring& port, std::int32_t baud) {
    client::ConnectPortResult result;
    if (client.connect_port(port, baud, result) != client::ClientError::none || !result.connected) {
        throw std::runtime_error("the service did not connect to the line (system error " +
                                 std::to_string(result.system_error) + ")");
    }
}

}  // namespace tarnwick::bench
