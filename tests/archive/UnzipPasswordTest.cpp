#include <string>
#include <vector>

#include "UnzipFixture.h"

namespace quillery {
namespace {

using test::MakeZip;
using test::ReadFileBytes;

class UnzipPasswordTest : public UnzipFixture {
  protected:
    void SetUp() override {
        MakeZip(zip,
                {File("plain1.txt", "one"), Locked("secret.txt", "the secret text", "opensesame"),
                 File("plain2.txt", "two"),
                 Locked("secret2.txt", std::string(2000, 's'), "opensesame", false)});
    }

    // Answers every question with the given password and records the entries asked about.
    void Answer(const std::string& password) {
        callbacks.password = [this, password](std::string& pw, const std::string& prompt,
                                              const std::string& entryName) {
            asked.push_back(entryName);
            EXPECT_NE(prompt.find(entryName), std::string::npos);
            pw = password;
            return 0;
        };
    }

    std::vector<std::string> asked;
};

TEST_F(UnzipPasswordTest, WithoutPasswordEncryptedEntriesAreSkipped) {
    EXPECT_EQ(Unzip(), kUnzEncryptedSkipped);
    EXPECT_EQ(FilesBelow(out), Files({"plain1.txt", "plain2.txt"}));

    std::filesystem::remove_all(out);
    callbacks.password = [this](std::string&, const std::string&, const std::string& name) {
        asked.push_back(name);
        return 1;
    };
    EXPECT_EQ(Unzip(), kUnzEncryptedSkipped);
    EXPECT_EQ(asked, (std::vector<std::string>{"secret.txt", "secret2.txt"}));
    EXPECT_EQ(FilesBelow(out), Files({"plain1.txt", "plain2.txt"}));
}

TEST_F(UnzipPasswordTest, TheRightPasswordIsAskedOnceAndReused) {
    Answer("opensesame");
    EXPECT_EQ(Unzip(), kUnzOk);
    EXPECT_EQ(asked, (std::vector<std::string>{"secret.txt"}));
    EXPECT_EQ(ReadFileBytes(out / "secret.txt"), "the secret text");
    EXPECT_EQ(ReadFileBytes(out / "secret2.txt"), std::string(2000, 's'));
}

TEST_F(UnzipPasswordTest, AWrongPasswordIsAskedThreeTimesThenSkipped) {
    for (const std::string wrong : {"wrong", "", "opensesam", "OPENSESAME"}) {
        SCOPED_TRACE(wrong);
        asked.clear();
        std::filesystem::remove_all(out);
        Answer(wrong);
        EXPECT_EQ(Unzip(), kUnzEncryptedSkipped);
        EXPECT_EQ(asked.size(), 6u);
        EXPECT_EQ(FilesBelow(out), Files({"plain1.txt", "plain2.txt"}));
    }
}

TEST_F(UnzipPasswordTest, ASecondTryCanSucceed) {
    callbacks.password = [this](std::string& pw, const std::string&, const std::string& name) {
        asked.push_back(name);
        pw = asked.size() == 1 ? "nope" : "opensesame";
        return 0;
    };
    options.testOnly = 1;
    EXPECT_EQ(Unzip(), kUnzOk);
    EXPECT_EQ(asked.size(), 2u);
}

}  // namespace
}  // namespace quillery
