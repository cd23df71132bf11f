#include "SmtpSink.h"

#include "TempDir.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sstream>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace tunquil::test {

namespace fs = std::filesystem;

namespace {

std::string Unescape(const std::string& s) {
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] != '\\' || i + 1 == s.size()) {
            out.push_back(s[i]);
            continue;
        }
        char c = s[++i];
        out.push_back(c == 'n' ? '\n' : c == 'r' ? '\r' : c == 't' ? '\t' : c);
    }
    return out;
}

std::vector<std::string> SplitTabs(const std::string& line) {
    std::vector<std::string> fields;
    std::size_t start = 0;
    while (true) {
        std::size_t tab = line.find('\t', start);
        fields.push_back(line.substr(start, tab - start));
        if (tab == std::string::npos)
            return fields;
        start = tab + 1;
    }
}

std::string ReadFile(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

fs::path MakeFolder() {
    std::string pattern = (fs::temp_directory_path() / "tunquil-smtp.XXXXXX").string();
    if (!::mkdtemp(pattern.data()))
        throw std::runtime_error("mkdtemp failed");
    return pattern;
}

} // namespace

std::string ReceivedMail::Header(const std::string& name) const {
    for (const auto& [n, v] : headers)
        if (n == name)
            return v;
    return "";
}

int ReceivedMail::HeaderCount(const std::string& name) const {
    return static_cast<int>(std::count_if(headers.begin(), headers.end(),
                                          [&](const auto& h) { return h.first == name; }));
}

fs::path SmtpSink::ScriptDir() {
    return fs::path(TUNQUIL_TEST_DATA_DIR).parent_path() / "support";
}

namespace {

const fs::path& CertificateFolder() {
    static const fs::path folder = [] {
        fs::path f = MakeFolder();
        std::string cmd = "openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 "
                          "-nodes -days 2 -subj /CN=localhost -addext "
                          "subjectAltName=DNS:localhost -keyout '" +
                          (f / "key.pem").string() + "' -out '" + (f / "cert.pem").string() +
                          "' 2>/dev/null";
        if (std::system(cmd.c_str()) != 0)
            throw std::runtime_error("openssl could not make the test certificate");
        return f;
    }();
    return folder;
}

} // namespace

fs::path SmtpSink::CertificateFile() {
    return CertificateFolder() / "cert.pem";
}

fs::path SmtpSink::KeyFile() {
    return CertificateFolder() / "key.pem";
}

SmtpSink::SmtpSink(const SmtpSinkOptions& options) : folder_(MakeFolder()) {
    int in[2], out[2];
    if (::pipe2(in, O_CLOEXEC) != 0 || ::pipe2(out, O_CLOEXEC) != 0)
        throw std::runtime_error("pipe failed");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    std::string python = Python();
    std::string script = (ScriptDir() / "smtp_sink.py").string();
    std::vector<std::string> args = {python, script, folder_.string()};
    if (options.security != SmtpSinkOptions::kPlain)
        args.insert(args.end(),
                    {options.security == SmtpSinkOptions::kStartTls ? "--starttls" : "--tls",
                     CertificateFile().string(), KeyFile().string()});
    if (!options.user.empty())
        args.insert(args.end(), {"--auth", options.user, options.password, options.mechanisms});
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    int rc = ::posix_spawn(&pid_, python.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(in[0]);
    ::close(out[1]);
    stdinFd_ = in[1];
    if (rc != 0) {
        ::close(out[0]);
        throw std::runtime_error("cannot start " + script);
    }
    // The first line is the port; wait for it a generous while, Python starts slowly.
    std::string line;
    pollfd p{out[0], POLLIN, 0};
    while (line.find('\n') == std::string::npos && ::poll(&p, 1, 20000) > 0) {
        char buf[64];
        ssize_t n = ::read(out[0], buf, sizeof buf);
        if (n <= 0)
            break;
        line.append(buf, static_cast<std::size_t>(n));
    }
    // The output stays open for the server's life: closing it would end the server at its
    // next write.
    stdoutFd_ = out[0];
    port_ = std::atoi(line.c_str());
    if (port_ <= 0)
        throw std::runtime_error("the SMTP test server did not start (python3-aiosmtpd missing?)");
}

SmtpSink::~SmtpSink() {
    ::close(stdinFd_);
    ::close(stdoutFd_);
    int status = 0;
    for (int i = 0; i < 200; ++i) {
        if (::waitpid(pid_, &status, WNOHANG) == pid_) {
            pid_ = -1;
            break;
        }
        ::usleep(10000);
    }
    if (pid_ > 0) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, &status, 0);
    }
    std::error_code ec;
    fs::remove_all(folder_, ec);
}

std::vector<fs::path> SmtpSink::Messages() const {
    std::vector<fs::path> found;
    for (const auto& e : fs::directory_iterator(folder_))
        if (e.path().extension() == ".eml")
            found.push_back(e.path());
    std::sort(found.begin(), found.end());
    return found;
}

void SmtpSink::Clear() const {
    for (const auto& e : fs::directory_iterator(folder_))
        fs::remove(e.path());
}

ReceivedMail SmtpSink::Read(const fs::path& eml) const {
    TempDir parts;
    std::string cmd = Python() + " '" + (ScriptDir() / "received_mail.py").string() + "' '" +
                      eml.string() + "' '" + parts.path().string() + "'";
    FILE* pipe = ::popen(cmd.c_str(), "r");
    if (!pipe)
        throw std::runtime_error("popen failed");
    std::string text;
    std::array<char, 4096> buf;
    std::size_t n;
    while ((n = std::fread(buf.data(), 1, buf.size(), pipe)) > 0)
        text.append(buf.data(), n);
    if (::pclose(pipe) != 0)
        throw std::runtime_error("received_mail.py failed on " + eml.string());

    ReceivedMail mail;
    mail.raw = ReadFile(eml);
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        std::vector<std::string> f = SplitTabs(line);
        if (f[0] == "from")
            mail.from = f.at(1);
        else if (f[0] == "rcpt")
            mail.recipients.push_back(Unescape(f.at(1)));
        else if (f[0] == "header")
            mail.headers.emplace_back(f.at(1), Unescape(f.at(2)));
        else if (f[0] == "body")
            mail.body = Unescape(f.at(1));
        else if (f[0] == "attach")
            mail.attachments.push_back({f.at(1), f.at(2), f.at(3), ReadFile(f.at(4))});
        else if (f[0] == "defect")
            mail.defects.push_back(Unescape(f.at(1)));
    }
    // Every message a test receives must read cleanly, whatever else the test looks at.
    for (const std::string& defect : mail.defects)
        ADD_FAILURE() << eml << ": a strict reader finds " << defect;
    return mail;
}

} // namespace tunquil::test
