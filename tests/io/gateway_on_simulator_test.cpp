// The gateway with a ZLocoBuffer whose COM port is the pseudo-terminal of rw-locobuffer-sim, and
// real TCP clients on 127.0.0.1: a SEND travels through the terminal, comes back as the
// simulator's echo, reaches every client and is answered; the simulator's end ends the gateway.
#include "framework/ModuleHandles.h"
#include "gateway/ZLoconetServer.h"
#include "io/IpAccessList.h"
#include "io/ZLocoBuffer.h"
#include "support/GatewayRunner.h"
#include "support/Loopback.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <future>
#include <memory>
#include <poll.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

using namespace std::chrono_literals;

constexpr int kComPort = 3;

// rw-locobuffer-sim as a child process; its standard input is a pipe of ours.
class SimulatorProcess {
public:
    SimulatorProcess() = default;
    SimulatorProcess(const SimulatorProcess&) = delete;
    SimulatorProcess& operator=(const SimulatorProcess&) = delete;
    ~SimulatorProcess() {
        if (pid > 0) {
            kill(pid, SIGTERM);
            waitpid(pid, nullptr, 0);
        }
        for (int fd : {input, output})
            if (fd >= 0) close(fd);
    }

    // Starts it and reads the device path it prints first.
    bool Start() {
        int in[2], out[2];
        if (pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0) return false;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, in[0], STDIN_FILENO);
        posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
        std::string program = ProgramPath();
        char* argv[] = {program.data(), nullptr};
        int error = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv, environ);
        posix_spawn_file_actions_destroy(&actions);
        close(in[0]);
        close(out[1]);
        input = in[1];
        output = out[0];
        if (error != 0) {
            pid = -1;
            return false;
        }
        while (device.empty() || device.back() != '\n') {
            char c;
            pollfd fd{output, POLLIN, 0};
            if (poll(&fd, 1, 5000) <= 0 || read(output, &c, 1) != 1) return false;
            device += c;
        }
        device.pop_back();
        return true;
    }

    const std::string& Device() const { return device; }

    // A message from the bus, as a hex line.
    bool Inject(const std::string& line) {
        std::string text = line + "\n";
        return write(input, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    }

    // Ends the simulator through the end of its input; true when it exits with 0 in time.
    bool Stop() {
        close(input);
        input = -1;
        // Its standard output closes when it exits.
        char c;
        pollfd fd{output, POLLIN, 0};
        if (poll(&fd, 1, 5000) <= 0 || read(output, &c, 1) != 0) return false;
        int status = 0;
        waitpid(pid, &status, 0);
        pid = -1;
        return WIFEXITED(status) && WEXITSTATUS(status) == 0;
    }

private:
    // Beside the test program's folder: <build>/tools/ next to <build>/tests/.
    static std::string ProgramPath() {
        char self[4096] = {};
        ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
        std::string path(self, n > 0 ? static_cast<std::size_t>(n) : 0);
        return path.substr(0, path.rfind('/')) + "/../tools/rw-locobuffer-sim";
    }

    pid_t pid = -1;
    int input = -1;
    int output = -1;
    std::string device;
};

struct Client {
    explicit Client(u_short port) : socket(rwtest::ConnectToLoopback(port)), reader(socket) {}
    ~Client() { closesocket(socket); }
    std::string Line() {
        std::string line;
        return reader.ReadLine(&line) ? line : "<no line>";
    }
    SOCKET socket;
    rwtest::LineReader reader;
};

class GatewayOnSimulator : public testing::Test {
protected:
    static void SetUpTestSuite() {
        std::signal(SIGPIPE, SIG_IGN);   // a write to the simulator's input after it died must fail, not kill
        SetModuleHandles(nullptr);
        LoadIpLists();   // no list files beside the test program: 127.0.0.1 is admitted
    }

    void SetUp() override {
        ASSERT_TRUE(simulator.Start());
        setenv("RW_COM3", simulator.Device().c_str(), 1);
        ASSERT_TRUE(device.Open(kComPort));
        port = rwtest::ListenOnFreePort(*server);
        ASSERT_NE(port, 0);
        receiveLoop = std::async(std::launch::async, [this] { server->RunReceiveLoop(); });
    }

    void TearDown() override {
        unsetenv("RW_COM3");
        // Whatever happened, the receive loop must end before the server and the device go.
        if (receiveLoop.valid() && receiveLoop.wait_for(0s) != std::future_status::ready) {
            simulator.Stop();
            receiveLoop.wait();
        }
    }

    SimulatorProcess simulator;
    ZLocoBuffer device;
    std::unique_ptr<ZLoconetServer> server = std::make_unique<ZLoconetServer>(&device);
    u_short port = 0;
    std::future<void> receiveLoop;
};

TEST_F(GatewayOnSimulator, SendIsEchoedToEveryClientAndAnswered) {
    Client sender(port), other(port);
    ASSERT_EQ(sender.Line(), "VERSION Railwick Server 2.00");
    ASSERT_EQ(other.Line(), "VERSION Railwick Server 2.00");

    ASSERT_TRUE(rwtest::SendText(sender.socket, "SEND B0 01 20 6E\r\n"));
    EXPECT_EQ(sender.Line(), "RECEIVE B0 01 20 6E");
    EXPECT_EQ(sender.Line(), "SENT OK");
    EXPECT_EQ(other.Line(), "RECEIVE B0 01 20 6E");

    // A message from the bus, which nobody sent.
    ASSERT_TRUE(simulator.Inject("B2 05 10 58"));
    EXPECT_EQ(sender.Line(), "RECEIVE B2 05 10 58");
    EXPECT_EQ(other.Line(), "RECEIVE B2 05 10 58");

    // The simulator goes away as an unplugged LocoBuffer: the receive loop ends, quietly.
    ASSERT_TRUE(simulator.Stop());
    ASSERT_EQ(receiveLoop.wait_for(5s), std::future_status::ready);
    // No line was sent for the end: the clients see only their connections close with the server.
    server.reset();
    EXPECT_TRUE(sender.reader.ReadsEndOfStream());
    EXPECT_TRUE(other.reader.ReadsEndOfStream());
}

}  // namespace
