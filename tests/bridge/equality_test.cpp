// The host's answers equal the object's answers in a page: for every page
// address and every question of the page tests, the page host runs a page
// (answers.js) against the registered DLL, and the native messaging host is
// asked the same in the same prefix.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "bridge/protocol/utf.h"
#include "tests/bridge/bridge_support.h"
#include "tests/fixtures/fixture_servers.h"

namespace bridge_tests {
namespace {

using bridge_client::BridgeConnection;

[[maybe_unused]] const bool kRegistered = (RegisterServerForTheProgram(), true);

// The page tests' addresses: allowed, foreign, and the maker's host in
// addresses that are no page of its site.
const char* const kPages[] = {
    "https://support.talmoren.com/checkup/",
    "https://talmoren-support.example.net/checkup/",
    "javascript://support.talmoren.com/%0Aalert(1)",
    "about://support.talmoren.com/<b>x</b>",
    "http://evil.example\\@support.talmoren.com/",
    "http://www.talmoren.com/support/check.html",
    "https://talmoren.com/",
};

// One line of answers.js: the method, its arguments and the page's answer.
struct PageAnswer {
    std::string method;
    std::vector<std::u16string> args;
    std::u16string answer;
};

std::u16string Unescaped(const std::string& text) {
    std::u16string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 5 < text.size() && text[i + 1] == 'u') {
            out.push_back(static_cast<char16_t>(std::stoul(text.substr(i + 2, 4), nullptr, 16)));
            i += 5;
        } else {
            out.push_back(static_cast<unsigned char>(text[i]));
        }
    }
    return out;
}

std::vector<std::string> Fields(const std::string& line) {
    std::vector<std::string> fields;
    std::size_t start = 0;
    for (std::size_t tab; (tab = line.find('\t', start)) != std::string::npos; start = tab + 1)
        fields.push_back(line.substr(start, tab - start));
    fields.push_back(line.substr(start));
    return fields;
}

std::vector<PageAnswer> PageAnswers(const std::string& page) {
    bridge_client::ChildProcess pageHost;
    const std::wstring wide(page.begin(), page.end());
    if (!pageHost.Start(bridge_client::Quoted(PageHostPath()) + L" --url " + bridge_client::Quoted(wide) + L" " +
                        bridge_client::Quoted(AnswersScriptPath()))) {
        ADD_FAILURE() << "the page host did not start";
        return {};
    }
    pageHost.CloseInput();
    const std::string output = pageHost.ReadToEnd();
    EXPECT_EQ(pageHost.Wait(), 0) << pageHost.Errors();
    std::vector<PageAnswer> answers;
    std::size_t start = 0;
    for (std::size_t end; (end = output.find('\n', start)) != std::string::npos; start = end + 1) {
        const std::vector<std::string> fields = Fields(output.substr(start, end - start));
        const std::size_t count = fields.size() >= 2 ? std::stoul(fields[1]) : 0;
        if (fields.size() != count + 3) {
            ADD_FAILURE() << "a line the page did not write: " << output.substr(start, end - start);
            continue;
        }
        PageAnswer answer{fields[0], {}, Unescaped(fields.back())};
        for (std::size_t i = 0; i < count; ++i) answer.args.push_back(Unescaped(fields[2 + i]));
        answers.push_back(std::move(answer));
    }
    return answers;
}

TEST(Equality, TheHostAnswersEveryPageAndQuestionAsThePageHostsObjectDoes) {
    // The two classes answers.js asks about besides the system's: answers that
    // end in a line feed.
    fixtures::ClassRegistration unversioned(HKEY_LOCAL_MACHINE, "{7E5A0C11-2F4B-4B1A-9C3D-5EB0A71DB001}");
    unversioned.InprocServer(fixtures::FixturePath(fixtures::kUnversionedServer));
    fixtures::ClassRegistration fileMissing(HKEY_LOCAL_MACHINE, "{7E5A0C11-2F4B-4B1A-9C3D-5EB0A71DB002}");
    fileMissing.InprocHandler(fixtures::FixturePath(fixtures::kVersionedServer));
    fileMissing.InprocServer("C:\\nowhere\\missing.dll");

    BridgeConnection host;
    ASSERT_TRUE(StartHost(host));
    int id = 0;
    int lineFeeds = 0;
    for (const char* page : kPages) {
        SCOPED_TRACE(page);
        const std::vector<PageAnswer> answers = PageAnswers(page);
        EXPECT_GE(answers.size(), 24u) << "the page asked fewer questions than answers.js holds";
        for (const PageAnswer& expected : answers) {
            if (expected.answer.ends_with(u'\n')) ++lineFeeds;
            std::vector<std::string> args;
            for (const auto& arg : expected.args) args.push_back(bridge::Utf16ToUtf8(arg).value());
            const json reply = Parsed(host.Ask(Request(++id, page, expected.method, args)));
            ASSERT_TRUE(reply.is_object() && reply.contains("answer")) << reply.dump();
            EXPECT_EQ(bridge::Utf8ToUtf16(reply["answer"].get<std::string>()), expected.answer)
                << expected.method << " asked with " << args.size() << " arguments: " << reply.dump();
        }
    }
    // Each of the two allowed pages got three such answers: all four questions
    // about the two registered classes but isValidControl of the unversioned
    // one, which goes on to compare.
    EXPECT_EQ(lineFeeds, 6);
}

}  // namespace
}  // namespace bridge_tests
