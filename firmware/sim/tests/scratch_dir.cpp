#include "scratch_dir.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <elf.h>

#include <cstring>
#include <csignal>
#include <chrono>
#include <fstream>
#include <thread>
#include <iterator>

#include "image/elf_image.h"
#include <sstream>
#include <stdexcept>
#include <vector>

namespace boardsim::testing {

ScratchDir::ScratchDir()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "boardsim-test-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("cannot make a scratch folder");
    }
    path_ = pattern;
}

ScratchDir::~ScratchDir()
{
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

namespace {

std::string slurp(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

}  // namespace

namespace {

pid_t spawn(const std::vector<std::string>& args, const std::string& out, const std::string& err)
{
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    std::vector<char*> argv;
    for (const std::string& arg : args) {
        argv.push_back(const_cast<char*>(arg.c_str()));
    }
    argv.push_back(nullptr);
    pid_t pid = 0;
    const int spawned = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
        throw std::runtime_error("cannot start " + args[0]);
    }
    return pid;
}

}  // namespace

Child::Child(const std::vector<std::string>& args) : pid_(spawn(args, capture_.file("out"), capture_.file("err"))) {}

Child::~Child()
{
    if (pid_ > 0) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
}

CommandResult Child::wait(double seconds)
{
    CommandResult result;
    int raw = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    pid_t done = 0;
    while ((done = waitpid(pid_, &raw, WNOHANG)) == 0 && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    if (done == pid_) {
        pid_ = -1;
        result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    } else {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }
    result.out = slurp(capture_.file("out"));
    result.err = slurp(capture_.file("err"));
    return result;
}

bool waitForPath(const std::string& path, double seconds)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (!std::filesystem::exists(path)) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

CommandResult runCommand(const std::vector<std::string>& args)
{
    Child child(args);
    return child.wait(600);  // the tests' own time limits come first
}

bool patchCallToNop(const std::string& from, const std::string& to, const std::string& caller,
                    const std::string& callee)
{
    const ElfImage image = ElfImage::fromFile(from);
    const auto function = image.find(caller);
    const auto target = image.find(callee);
    if (!function || !target) {
        return false;
    }
    std::ifstream in(from, std::ios::binary);
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    Elf32_Ehdr header;
    std::memcpy(&header, bytes.data(), sizeof header);
    for (unsigned i = 0; i < header.e_phnum; ++i) {
        Elf32_Phdr ph;
        std::memcpy(&ph, bytes.data() + header.e_phoff + i * header.e_phentsize, sizeof ph);
        if (ph.p_type != PT_LOAD || function->address < ph.p_paddr ||
            function->address + function->size > ph.p_paddr + ph.p_filesz) {
            continue;
        }
        for (uint32_t a = function->address; a < function->address + function->size; a += 4) {
            uint32_t word = 0;
            uint8_t* at = bytes.data() + ph.p_offset + (a - ph.p_paddr);
            std::memcpy(&word, at, 4);
            const auto offset = int32_t(word << 8) >> 6;
            if ((word & 0x0F000000) == 0x0B000000 && a + 8 + uint32_t(offset) == target->address) {
                const uint32_t nop = 0xE1A00000;  // mov r0, r0
                std::memcpy(at, &nop, 4);
                std::ofstream(to, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                          std::streamsize(bytes.size()));
                return true;
            }
        }
    }
    return false;
}

}  // namespace boardsim::testing
