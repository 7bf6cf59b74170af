#include "platform/ini_file.h"

#include <fstream>
#include <sstream>

#include <gtest/gtest.h>

#include "support/temp_dir.h"

namespace {

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

void WriteAll(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary);
  out << text;
}

}  // namespace

TEST(IniFile, LookupIgnoresLetterCaseAndTrimsValues) {
  const std::string path = testsupport::TempPath("lookup.ini");
  WriteAll(path,
           "; comment\n[Main]\n  Skin = msn  \nQuoted=\"  spaced  \"\nEmpty=\n[main]\nSkin=second\n"
           "[Other]\nskin=other\n名字=值\n");
  platform::IniFile ini(path);
  EXPECT_EQ(ini.ReadString("MAIN", "skin", "x"), "msn");  // first section and key win
  EXPECT_EQ(ini.ReadString("main", "Quoted"), "  spaced  ");
  EXPECT_EQ(ini.ReadString("Main", "Empty", "dflt"), "");  // present but empty is not missing
  EXPECT_EQ(ini.ReadString("Main", "Missing", "dflt"), "dflt");
  EXPECT_EQ(ini.ReadString("Nowhere", "Skin", "dflt"), "dflt");
  EXPECT_EQ(ini.ReadString("Other", "名字"), "值");
  EXPECT_TRUE(ini.SectionExists("OTHER"));
  EXPECT_FALSE(ini.KeyExists("Other", "Missing"));
  EXPECT_EQ(platform::IniFile(path + ".none").ReadString("a", "b", "d"), "d");
}

TEST(IniFile, WriteCreatesFileSectionAndKeyAndKeepsOtherLines) {
  const std::string path = testsupport::TempPath("write.ini");
  std::remove(path.c_str());
  platform::IniFile ini(path);
  ASSERT_TRUE(ini.WriteString("Set", "OutPath", "/home/用户/视频"));
  EXPECT_EQ(ReadAll(path), "[Set]\nOutPath=/home/用户/视频\n");

  WriteAll(path, "# keep me\n[Set]\nA=1\n\n[Next]\nB=2\n");
  ASSERT_TRUE(ini.WriteString("set", "a", "changed"));  // existing key replaced in place
  ASSERT_TRUE(ini.WriteString("SET", "C", "3"));        // new key after the section's last entry
  ASSERT_TRUE(ini.WriteString("Added", "D", "4"));      // new section at the end
  EXPECT_EQ(ReadAll(path), "# keep me\n[Set]\na=changed\nC=3\n\n[Next]\nB=2\n\n[Added]\nD=4\n");
  EXPECT_EQ(ini.ReadInteger("Added", "D", 0), 4);
  EXPECT_EQ(ini.ReadInteger("Added", "Missing", -7), -7);
  EXPECT_EQ(ini.ReadSectionKeys("set"), (std::vector<std::string>{"a", "C"}));

  ASSERT_TRUE(ini.DeleteKey("Set", "C"));
  ASSERT_TRUE(ini.EraseSection("Next"));
  EXPECT_EQ(ReadAll(path), "# keep me\n[Set]\na=changed\n\n[Added]\nD=4\n");
}

TEST(IniFile, CrLfFilesStayCrLfAndFailedWritesReportFalse) {
  const std::string path = testsupport::TempPath("crlf.ini");
  WriteAll(path, "[S]\r\nK=v\r\n");
  platform::IniFile ini(path);
  EXPECT_EQ(ini.ReadString("S", "K"), "v");
  ASSERT_TRUE(ini.WriteString("S", "N", "w"));
  EXPECT_EQ(ReadAll(path), "[S]\r\nK=v\r\nN=w\r\n");
  EXPECT_FALSE(platform::IniFile("/nonexistent-folder/x.ini").WriteString("S", "K", "v"));
}
