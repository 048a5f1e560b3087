// "QORCom.HTTP" against Python's HTTP server on loopback (plain, and wrapped in TLS with a
// self-signed certificate), started by this program and stopped by PID; when the servers cannot
// start, every test fails.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "comlite/bstr.h"
#include "interop/ftp_servers.h"
#include "interop/loopback_wait.h"
#include "platform/process.h"
#include "qorcom/interfaces/http.h"
#include "qorcom/qorcom_test_support.h"
#include "support/scratch_dir.h"

namespace tw {
namespace {

using comlite::Bstr;

constexpr int kHttpPort = 42180;
constexpr int kHttpsPort = 42181;

class HttpEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        const std::string root = work.File("www");
        std::filesystem::create_directories(root + "/sub");
        std::ofstream(root + "/sub/index.html") << "<p>redirected</p>";
        std::ofstream(root + "/ten.bin") << std::string(10000, 'z');
        std::ofstream(root + "/text.txt") << "Price list 1\n";
        const std::string script = work.File("https.py");
        std::ofstream(script)
            << "import functools, http.server, ssl, sys\n"
               "h = functools.partial(http.server.SimpleHTTPRequestHandler, "
               "directory=sys.argv[2])\n"
               "s = http.server.HTTPServer(('127.0.0.1', int(sys.argv[1])), h)\n"
               "c = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER); c.load_cert_chain(sys.argv[3], "
               "sys.argv[4])\n"
               "s.socket = c.wrap_socket(s.socket, server_side=True)\n"
               "s.serve_forever()\n";
        platform::PosixProcessLauncher launcher;
        if (!launcher
                 .Run({"openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "30",
                       "-subj", "/CN=localhost", "-keyout", work.File("key.pem"), "-out",
                       work.File("cert.pem")},
                      {})
                 .Succeeded()) {
            why = "openssl could not make a certificate";
            return;
        }
        int error = 0;
        auto plain = platform::ChildProcess::Start(
            {"/usr/bin/python3", "-m", "http.server", std::to_string(kHttpPort), "--bind",
             "127.0.0.1", "--directory", root},
            "", &error);
        auto tls =
            platform::ChildProcess::Start({"/usr/bin/python3", script, std::to_string(kHttpsPort),
                                           root, work.File("cert.pem"), work.File("key.pem")},
                                          "", &error);
        if (plain)
            http.emplace(std::move(*plain));
        if (tls)
            https.emplace(std::move(*tls));
        running =
            http && https && test::AwaitListening(kHttpPort) && test::AwaitListening(kHttpsPort);
        if (!running)
            why = "python3's HTTP servers did not answer on ports 42180 and 42181";
    }
    void TearDown() override {
        if (http)
            http->Terminate(std::chrono::milliseconds(3000));
        if (https)
            https->Terminate(std::chrono::milliseconds(3000));
        http.reset();
        https.reset();
    }
    test::ScratchDir work;
    std::optional<platform::ChildProcess> http, https;
    std::string why;
    bool running = false;
};

HttpEnvironment* environment = nullptr;

class HttpTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(environment->running) << environment->why;
        http_ = qorcom::test::Create<IQORHTTP>(CLSID_QORHTTP, IID_IQORHTTP);
        ASSERT_TRUE(http_);
    }
    bool Connect(const std::string& url) {
        http_->put_URL(Bstr::FromUtf8(url).Get());
        VARIANT_BOOL ok = VARIANT_FALSE;
        http_->ConnectToHTTPHost(&ok);
        return ok == VARIANT_TRUE;
    }
    bool ToFile(const std::string& path) {
        http_->put_OutputFilename(Bstr::FromUtf8(path).Get());
        VARIANT_BOOL ok = VARIANT_FALSE;
        http_->WriteHTTPDataToFile(&ok);
        return ok == VARIANT_TRUE;
    }
    std::string ToString() {
        Bstr body;
        http_->WriteHTTPDataToString(body.Put());
        return body.Utf8();
    }
    std::string Message() {
        Bstr text;
        http_->get_LastErrorMessage(text.Put());
        return text.Utf8();
    }
    static std::string Url(const std::string& path) {
        return "http://127.0.0.1:" + std::to_string(kHttpPort) + "/" + path;
    }
    static std::string ReadAll(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }

    comlite::ComPtr<IQORHTTP> http_;
    test::ScratchDir local_;
};

TEST_F(HttpTest, BodiesAsFileAndStringAndARedirectFollowed) {
    ASSERT_TRUE(Connect(Url("ten.bin"))) << Message();
    ASSERT_TRUE(ToFile(local_.File("ten.bin"))) << Message();
    EXPECT_EQ(ReadAll(local_.File("ten.bin")), std::string(10000, 'z'));
    ASSERT_TRUE(Connect(Url("text.txt"))) << Message();
    EXPECT_EQ(ToString(), "Price list 1\n");
    // "sub" is answered with 301 to "sub/".
    ASSERT_TRUE(Connect(Url("sub"))) << Message();
    EXPECT_EQ(ToString(), "<p>redirected</p>");
}

// A failed request, or a file that cannot be written, leaves an existing output file alone.
TEST_F(HttpTest, FailuresAndTheirTexts) {
    const std::string kept = local_.Write("kept.bin", "old");
    EXPECT_FALSE(Connect(Url("missing")));
    EXPECT_EQ(Message(), "Object not found. Bad URL.");
    EXPECT_FALSE(ToFile(kept));
    EXPECT_EQ(ReadAll(kept), "old");
    EXPECT_EQ(ToString(), "");

    ASSERT_TRUE(Connect(Url("text.txt")));
    EXPECT_FALSE(ToFile(local_.File("no-such-dir/x")));
    EXPECT_EQ(Message().rfind("Unable to Create File", 0), 0u) << Message();

    EXPECT_FALSE(Connect("not a url"));
    EXPECT_EQ(Message(), "Bad URL");
    EXPECT_FALSE(Connect("file:///etc/passwd"));
    EXPECT_EQ(Message(), "Bad URL");
    EXPECT_FALSE(Connect("http://127.0.0.1:1/"));
    EXPECT_EQ(Message().rfind("Network error ", 0), 0u) << Message();
}

TEST_F(HttpTest, HttpsChecksTheCertificate) {
    EXPECT_FALSE(Connect("https://localhost:" + std::to_string(kHttpsPort) + "/text.txt"));
    EXPECT_NE(Message().find("certificate"), std::string::npos) << Message();
}

}  // namespace
}  // namespace tw

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    tw::environment = new tw::HttpEnvironment;
    ::testing::AddGlobalTestEnvironment(tw::environment);
    return RUN_ALL_TESTS();
}
