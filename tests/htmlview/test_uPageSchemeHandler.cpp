// Which files the page scheme serves: only regular files below the page root.
#include "htmlview/uPageSchemeHandler.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "support/TempFolder.h"

namespace fs = std::filesystem;

namespace {

TEST(PageSchemeHandler, ServesOnlyRegularFilesBelowTheRoot) {
  TTempFolder temp;
  const fs::path root = temp.Folder / "root";
  fs::create_directories(root / "v1.00");
  fs::create_directories(root / "img");
  std::ofstream(root / "tallybox.css") << "body{}";
  std::ofstream(root / "img" / "a b.png") << "png";
  std::ofstream(temp.Folder / "secret.txt") << "secret";
  fs::create_symlink(temp.Folder / "secret.txt", root / "link.txt");
  fs::create_symlink(root / "tallybox.css", root / "inner.css");

  TPageSchemeHandler pages;
  pages.SetRoot(root);
  const struct {
    const char* Url;
    fs::path Served;  // empty: refused
  } cases[] = {
      {"tallybox-page:/tallybox.css", root / "tallybox.css"},
      {"tallybox-page:/img/a%20b.png", root / "img" / "a b.png"},
      {"tallybox-page:/v1.00/./../tallybox.css", {}},
      {"tallybox-page:/inner.css", root / "tallybox.css"},
      {"tallybox-page:/../secret.txt", {}},
      {"tallybox-page:/../../etc/passwd", {}},
      {"tallybox-page:/v1.00/..%2F..%2F..%2F..%2Fetc%2Fpasswd", {}},
      {"tallybox-page:/etc/passwd", {}},
      {"tallybox-page:/link.txt", {}},
      {"tallybox-page:/v1.00", {}},
      {"tallybox-page:/", {}},
      {"tallybox-page:/missing.htm", {}},
  };
  for (const auto& c : cases) EXPECT_EQ(pages.ResolveFile(QUrl(c.Url)), c.Served) << c.Url;

  TPageSchemeHandler noRoot;
  noRoot.SetRoot(temp.Folder / "absent");
  EXPECT_EQ(noRoot.ResolveFile(QUrl("tallybox-page:/tallybox.css")), fs::path());
}

TEST(PageSchemeHandler, ContentTypesMarkEightBitText) {
  EXPECT_EQ(PageContentType("regs.HTM"), "text/html;charset=windows-1252");
  EXPECT_EQ(PageContentType("tallybox.css"), "text/css;charset=windows-1252");
  EXPECT_EQ(PageContentType("spinner.gif"), "image/gif");
  EXPECT_EQ(PageContentType("device.jpg"), "image/jpeg");
  EXPECT_EQ(PageContentType("noext"), "application/octet-stream");
}

}  // namespace
