// The library's transactions against a service over the real channels of a test namespace.

#include <gtest/gtest.h>

#include <thread>

#include "client/client.h"
#include "client/service_launcher.h"
#include "tests/client/fake_service.h"
#include "tests/platform/namespace_fixture.h"

namespace tarnwick::test {
namespace {

using client::ClientError;

class ClientRequests : public PrivateNamespace {
  protected:
    std::unique_ptr<client::Client> open_client(
        std::chrono::milliseconds timeout = std::chrono::seconds(10)) {
        client::ClientOptions options;
        options.may_start = false;
        options.answer_timeout = timeout;
        std::unique_ptr<client::Client> opened;
        EXPECT_EQ(client::Client::open(options, opened), ClientError::none);
        return opened;
    }
};

TEST_F(ClientRequests, ABatchGetsEveryAnswerInOrderFromOneServedBatch) {
    FakeService::Settings settings;
    settings.tstamp = true;
    settings.input_mode = 6;
    settings.has_fix = true;
    settings.fix = sample_rmc(75);
    FakeService service(settings);
    auto client = open_client();

    std::vector<client::Answer> answers;
    ASSERT_EQ(client->send(client::RequestBatch()
                               .get_input_mode()
                               .get_connection()
                               .get_time_stamp_mode()
                               .get_valid_rmc(),
                           answers),
              ClientError::none);
    ASSERT_EQ(answers.size(), 4U);
    EXPECT_EQ(answers[0].code, 1006);
    EXPECT_EQ(answers[0].result, 6);
    EXPECT_EQ(answers[1].result, 0);
    EXPECT_EQ(answers[2].result, 1);
    ASSERT_TRUE(answers[3].fix.has_value());
    EXPECT_EQ(answers[3].fix->time.minute, 1);
    EXPECT_EQ(answers[3].fix->position.lat_min, 30.25F);
    EXPECT_EQ(service.batches(), 1);
}

TEST_F(ClientRequests, TypedHelpersDecodeTheirAnswers) {
    FakeService::Settings settings;
    settings.ports = {L"COM1:", L"COM12:"};
    FakeService service(settings);
    auto client = open_client();

    std::vector<std::wstring> ports;
    ASSERT_EQ(client->enum_ports(ports), ClientError::none);
    EXPECT_EQ(ports, settings.ports);

    client::ConnectPortResult connected;
    ASSERT_EQ(client->connect_port(L"COM1:", 4800, connected), ClientError::none);
    EXPECT_FALSE(connected.connected);
    EXPECT_EQ(connected.system_error, ERROR_ACCESS_DENIED);

    std::optional<client::RMC> fix = client::RMC{};
    ASSERT_EQ(client->get_valid_rmc(fix), ClientError::none);
    EXPECT_FALSE(fix.has_value());

    ASSERT_EQ(client->quit(), ClientError::none);  // no answer to wait for
    for (int i = 0; i < 500 && !service.quit_received(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_TRUE(service.quit_received());
}

TEST_F(ClientRequests, RawRequestsReturnTheAnswerBytes) {
    FakeService service;
    auto client = open_client();
    struct Case {
        std::vector<std::uint8_t> request;
        std::vector<std::uint8_t> answer;
    };
    const Case cases[] = {
        // GetTimeStampMode
        {{0xf7, 0x03, 0, 0}, {0xf7, 0x03, 0, 0, 0, 0, 0, 0}},
        // 1011 is a notification id, not a request
        {{0xf3, 0x03, 0, 0}, {0xe7, 0x03, 0, 0}},
        // Quit in the middle of a batch answers nothing of its own
        {{0xe8, 0x03, 0, 0, 0xee, 0x03, 0, 0}, {0xee, 0x03, 0, 0, 0, 0, 0, 0}},
    };
    for (const Case& c : cases) {
        std::vector<std::uint8_t> answer;
        ASSERT_EQ(client->send_raw(c.request, answer), ClientError::none);
        EXPECT_EQ(answer, c.answer);
    }
}

TEST_F(ClientRequests, StaleAndForeignAnswersAreNotTakenForOurs) {
    FakeService::Settings settings;
    settings.input_mode = 2;
    settings.batch_delay = std::chrono::milliseconds(200);
    FakeService service(settings);
    auto client = open_client();

    // Left over before the transaction: discarded with its signal.
    service.write_stray_answer({0xee, 0x03, 0, 0, 9, 0, 0, 0});
    // Arriving while the transaction waits: read, recognised as not ours, waited past.
    std::thread stray([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        service.write_stray_answer({0xee, 0x03, 0, 0, 7, 0, 0, 0, 0xee, 0x03, 0, 0});
    });
    std::int32_t mode = 0;
    EXPECT_EQ(client->get_input_mode(mode), ClientError::none);
    stray.join();
    EXPECT_EQ(mode, 2);
}

TEST_F(ClientRequests, ClientsOnSeveralThreadsEachGetTheirOwnAnswers) {
    FakeService::Settings settings;
    settings.input_mode = 9;
    settings.ports = {L"COM3:"};
    FakeService service(settings);
    constexpr int rounds = 40;
    auto run = [&](int kind) {
        auto client = open_client();
        for (int i = 0; i < rounds; ++i) {
            std::vector<client::Answer> answers;
            client::RequestBatch batch;
            if (kind == 0) {
                batch.enum_ports();
            } else if (kind == 1) {
                batch.get_input_mode().get_time_stamp_mode();
            } else {
                batch.get_valid_rmc().get_connection().get_input_mode();
            }
            ASSERT_EQ(client->send(batch, answers), ClientError::none);
            ASSERT_EQ(answers.size(), batch.answer_codes().size());
            if (kind == 0) {
                EXPECT_EQ(answers[0].ports, settings.ports);
            } else {
                EXPECT_EQ(answers.back().result, kind == 1 ? 0 : 9);
            }
        }
    };
    std::vector<std::thread> clients;
    for (int kind = 0; kind < 3; ++kind) {
        clients.emplace_back(run, kind);
    }
    for (std::thread& t : clients) {
        t.join();
    }
    EXPECT_EQ(service.batches(), 3 * rounds);
}

TEST_F(ClientRequests, NoServiceIsToldApartFromOtherFailures) {
    EXPECT_FALSE(client::service_running());
    client::ClientOptions options;
    options.may_start = false;
    std::unique_ptr<client::Client> client;
    EXPECT_EQ(client::Client::open(options, client), ClientError::service_not_running);
    EXPECT_EQ(client, nullptr);

    // Allowed to start, but nothing registered its program.
    options.may_start = true;
    options.start_timeout = std::chrono::milliseconds(200);
    EXPECT_EQ(client::Client::open(options, client), ClientError::start_failed);
}

TEST_F(ClientRequests, AServiceThatDoesNotAnswerTimesOut) {
    // A start event and channels, but nobody serving them.
    HANDLE start = CreateEventW(nullptr, TRUE, TRUE, L"TARNWICK_START");
    auto client = open_client(std::chrono::milliseconds(300));
    std::int32_t mode = 0;
    EXPECT_EQ(client->get_input_mode(mode), ClientError::timed_out);
    CloseHandle(start);
}

TEST_F(ClientRequests, AStringLongerThanTheProtocolCarriesIsNeverSent) {
    FakeService service(FakeService::Settings{});
    auto client = open_client();
    // Sent, it would go out as an empty name: "connect to the remembered port".
    const std::wstring name(20000, L'C');
    EXPECT_FALSE(client::RequestBatch().connect_port(name, 4800).complete());
    EXPECT_TRUE(client::RequestBatch().connect_port(L"COM1:", 4800).complete());
    client::ConnectPortResult result;
    EXPECT_EQ(client->connect_port(name, 4800, result), ClientError::request_too_large);
    EXPECT_FALSE(result.connected);
    bool opened = true;
    EXPECT_EQ(client->open_file(name, false, 1.0F, opened), ClientError::request_too_large);
    EXPECT_EQ(service.batches(), 0);
}

}  // namespace
}  // namespace tarnwick::test
