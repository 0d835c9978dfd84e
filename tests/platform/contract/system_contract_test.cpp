// The access token's groups, the locale's date and time, files, and the
// firewall and sharing objects (where the machine has them).
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "tests/platform/contract/contract_environment.h"
#include "zl/platform/errors.h"
#include "zl/platform/files.h"
#include "zl/platform/firewall.h"
#include "zl/platform/locale.h"
#include "zl/platform/security.h"
#include "zl/platform/sharing.h"

namespace zl::platform {
namespace {

TEST(SecurityContract, TheProcessTokenHoldsTheAdministratorsGroup) {
  contract::MachineScope machine;
  SecurityIdentifier administrators;
  ASSERT_EQ(BuildSecurityIdentifier(5, {32, 544}, administrators), kErrorSuccess);
  EXPECT_EQ(administrators.authority, 5);
  EXPECT_EQ(administrators.subAuthorities, (std::vector<std::uint32_t>{32, 544}));

  AccessToken token;
  EXPECT_EQ(token.OpenThreadToken(), kErrorNoToken);  // this thread impersonates no one
  EXPECT_FALSE(token.IsOpen());
  ASSERT_EQ(token.OpenProcessToken(), kErrorSuccess);
  std::vector<SecurityIdentifier> groups;
  ASSERT_EQ(token.QueryGroups(groups), kErrorSuccess);
  EXPECT_NE(std::find(groups.begin(), groups.end(), administrators), groups.end());
}

TEST(LocaleContract, TheDefaultFormHoldsTheDateAndTheTime) {
  const std::string text = FormatDefaultDateTime({2024, 12, 31, 13, 5, 9, 0});
  EXPECT_NE(text.find("2024"), std::string::npos) << text;
  EXPECT_NE(text.find("31"), std::string::npos) << text;
  EXPECT_NE(text.find(":05:09"), std::string::npos) << text;
  EXPECT_NE(text.find(' '), std::string::npos) << text;
}

TEST(FilesContract, CreateAppendReadAndTheirRefusals) {
  const std::string folder = contract::ScratchFolder("files");
  const std::string file = folder + "\\log \xE4.txt";
  EXPECT_FALSE(FileExists(file));
  EXPECT_FALSE(AppendToExistingFile(file, "lost"));  // appending never creates
  ASSERT_TRUE(CreateOrTruncateFile(file));
  ASSERT_TRUE(AppendToExistingFile(file, "one\r\n"));
  ASSERT_TRUE(AppendToExistingFile(file, std::string("two\0three", 9)));
  std::string bytes;
  ASSERT_TRUE(ReadWholeFile(file, bytes));
  EXPECT_EQ(bytes, std::string("one\r\ntwo\0three", 14));
  ASSERT_TRUE(CreateOrTruncateFile(file));
  ASSERT_TRUE(ReadWholeFile(file, bytes));
  EXPECT_TRUE(bytes.empty());

  EXPECT_TRUE(FileExists(file));
  EXPECT_FALSE(DirectoryExists(file));
  EXPECT_TRUE(DirectoryExists(folder));
  EXPECT_FALSE(FileExists(folder));
  EXPECT_TRUE(CreateDirectory(folder + "\\sub"));
  EXPECT_FALSE(CreateDirectory(folder + "\\sub"));
  EXPECT_FALSE(CreateDirectory(folder + "\\missing\\sub"));
  EXPECT_FALSE(ReadWholeFile(folder + "\\absent", bytes));
}

TEST(FirewallContract, AnApplicationIsAuthorisedInTheCurrentProfile) {
  contract::MachineScope machine;
  FirewallProfile profile;
  const std::int32_t opened = profile.Open();
  if (opened == kComClassNotRegistered) GTEST_SKIP() << "this machine has no firewall manager object";
  ASSERT_EQ(opened, 0);
  AuthorizedApplication application;
  application.processImageFileName = contract::BuiltProgram("zlcontract-helper");
  application.name = "Zephlink Contract";
  EXPECT_EQ(profile.AddAuthorizedApplication(application), 0);
}

TEST(SharingContract, TheConnectionsAndTheirSharingAreListed) {
  contract::MachineScope machine;
  SharingManager manager;
  const std::int32_t connected = manager.Connect();
  if (connected == kComClassNotRegistered) {
    GTEST_SKIP() << "this machine has no connection sharing manager (class not registered)";
  }
  ASSERT_EQ(connected, 0);
  std::vector<std::string> connections;
  ASSERT_EQ(manager.EnumerateConnections(connections), 0);
  if (connections.empty()) GTEST_SKIP() << "the sharing manager lists no connection here";
  for (const std::string& connection : connections) {
    std::string name;
    EXPECT_EQ(manager.GetConnectionName(connection, name), 0) << connection;
    EXPECT_FALSE(name.empty()) << connection;
    SharingConfiguration configuration;
    ASSERT_EQ(manager.GetSharingConfiguration(connection, configuration), 0) << connection;
    bool enabled = true;
    EXPECT_EQ(configuration.GetSharingEnabled(enabled), 0) << name;
  }
}

}  // namespace
}  // namespace zl::platform
