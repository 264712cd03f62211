// The HTML view on the real engine: include tags on the rendered page, form capture, page
// resources from the folder above, the missing page and the page root's boundary.
#include "htmlview/THtmlView.h"

#include <gtest/gtest.h>

#include <QAccessible>
#include <QImage>
#include <QSignalSpy>
#include <QTest>
#include <QWebEngineView>

#include <filesystem>
#include <fstream>
#include <map>
#include <set>

#include "QtTestApp.h"
#include "htmlview/uPageSchemeHandler.h"
#include "markup/uIncludeTags.h"
#include "support/LoopbackPeer.h"
#include "support/TempFolder.h"

namespace fs = std::filesystem;

namespace {

const fs::path Pages = TALLYBOX_PAGES_DIR;

void WriteFile(const fs::path& File, const std::string& Text) {
  fs::create_directories(File.parent_path());
  std::ofstream(File, std::ios::binary) << Text;
}

// Fills tags the way the main window does, from a map of register values.
struct TRegisterFiller {
  std::map<std::string, std::string> Values;
  std::set<std::string> Highlighted;
  int Calls = 0;

  std::string operator()(const std::string& Command, const std::vector<std::string>& Params) {
    ++Calls;
    if (Params.empty()) return "";
    const std::string name = Params[0].substr(0, Params[0].find('='));
    const std::string given = Params[0].substr(name.size() + 1);
    const std::string value = Values.count(name) ? Values[name] : "";
    if (Command == "val") return "name=\"" + name + "\" value=\"" + value + "\"";
    if (Command == "txt") return value;
    if (Command == "hl") return Highlighted.count(name) ? "class=\"fill\"" : "";
    if (Command == "cb")
      return "name=\"" + name + "\" value=\"" + given + "\"" + (value == given ? " checked" : "");
    if (Command == "op") return "value=\"" + given + "\"" + (value == given ? " selected" : "");
    return "";
  }
};

struct TCapture {
  std::string Action, Target, EncType, Method;
  std::vector<std::string> Fields;
};

class HtmlView : public ::testing::Test {
 protected:
  HtmlView() {
    View.resize(1000, 700);
    View.show();
    View.SetIncludeHandler(
        [this](const std::string& C, const std::vector<std::string>& P) { return Filler(C, P); });
    View.SetSubmitHandler([this](const std::string& Action, const std::string& Target,
                                 const std::string& EncType, const std::string& Method,
                                 std::vector<std::string> Fields) {
      Captures.push_back({Action, Target, EncType, Method, std::move(Fields)});
    });
  }

  QVariant Js(const QString& Script) { return View.RunScriptForTest(Script); }
  bool WaitForCaptures(size_t Count) {
    return QTest::qWaitFor([&] { return Captures.size() >= Count; }, 10000);
  }

  TRegisterFiller Filler;
  std::vector<TCapture> Captures;
  THtmlView View;
};

TEST_F(HtmlView, RegistersPageShowsEveryIncludeTagKindInTheRenderedDocument) {
  Filler.Values = {{"r100", "12"},    {"r200", "on"},  {"r201", "off"},
                   {"r300", "level"}, {"r305", "log"}, {"r400", "Z\xfcrich"}};
  Filler.Highlighted = {"r100", "r305"};
  View.SetPageRoot(Pages.string());
  const fs::path regs = Pages / "v1.00" / "regs.htm";
  ASSERT_TRUE(LoadAndWait(View, regs.string()));
  EXPECT_EQ(View.CurrentFile(), regs.string());
  EXPECT_EQ(Filler.Calls, int(FindIncludeTags(*ReadPageFile(regs)).size()));

  const struct {
    const char* Script;
    QVariant Expected;
  } checks[] = {
      {"document.querySelector('input[name=r100]').value", "12"},
      {"document.querySelector('input[name=r400]').value", QString::fromUtf8("Zürich")},
      {"document.querySelector('input[type=checkbox][name=r200]').checked", true},
      {"document.querySelector('input[type=checkbox][name=r201]').checked", false},
      {"document.querySelector('input[name=r300]:checked').value", "level"},
      {"document.querySelectorAll('input[name=r301]:checked').length", 0},
      {"document.querySelector('select[name=r305]').value", "log"},
      {"[...document.querySelectorAll('td.fill')].map(td => td.textContent).join()",
       "Site number,Alarm action"},
      {"document.documentElement.outerHTML.includes('<!--#')", false},
      {"document.characterSet", "windows-1252"},
  };
  for (const auto& check : checks) EXPECT_EQ(Js(check.Script), check.Expected) << check.Script;

  // The same file again with new values, right after the wait page, as the main window
  // does: one LoadFinished, for the page asked for last, showing the new values.
  Filler.Values["r100"] = "77";
  QSignalSpy finished(&View, &THtmlView::LoadFinished);
  View.LoadFromFile((Pages / "wait.htm").string());
  ASSERT_TRUE(LoadAndWait(View, regs.string()));
  QTest::qWait(300);
  EXPECT_EQ(finished.size(), 1);
  EXPECT_EQ(Js("document.querySelector('input[name=r100]').value"), "77");
}

// Pages asked for in quick succession, as a busy window does, on an engine too slow for the
// view's patience (its watch asks again while every load is still on its way): the owner
// hears once per page, when the page asked for last is on screen with its values.
TEST_F(HtmlView, PagesAskedForAgainWhileOnTheirWayEndOnceWithTheLastOnScreen) {
  View.SetPageRoot(Pages.string());
  QSignalSpy finished(&View, &THtmlView::LoadFinished);
  for (const int watchMs : {2000, 1}) {
    View.SetLoadWatchForTest(watchMs);
    for (int round = 0; round < 6; ++round) {
      SCOPED_TRACE(std::to_string(watchMs) + " ms, round " + std::to_string(round));
      Filler.Values["r100"] = std::to_string(round);
      for (const char* page : {"wait.htm", "v1.00/regs.htm", "home.htm", "v1.00/regs.htm"})
        View.LoadFromFile((Pages / page).string());
      ASSERT_TRUE(finished.wait(30000));
      EXPECT_EQ(Js("document.querySelector('input[name=r100]').value"), QString::number(round));
      QTest::qWait(100);
      ASSERT_EQ(finished.size(), 1);
      EXPECT_TRUE(finished.first().first().toBool());
      finished.clear();
    }
  }
}

// No charset in the page itself: the view's serving decides how typed text is encoded.
const char* const FormPage =
    R"(<!DOCTYPE html><html><body><form id="f" method="post" action="program" target="_top" enctype="multipart/form-data">
<input type="hidden" name="h" value="off">
<input type="checkbox" name="c1" value="on" checked><input type="checkbox" name="c2" value="on">
<input type="checkbox" name="c3" checked>
<input type="radio" name="r" value="a"><input type="radio" name="r" value="b" checked>
<select name="s"><option value="x">x</option><option value="y" selected>y</option></select>
<input type="text" id="t" name="t" value="">
<input type="text" name="d" value="gone" disabled><input type="text" value="no name">
<textarea name="ta">two
lines</textarea>
<button id="go" type="submit" name="go" value="Program">Program</button>
<button id="alt" type="submit" formaction="alt" formmethod="get" formtarget="side">Alt</button>
</form><a id="link" href="other.htm">other</a>
<script>
document.getElementById('f').addEventListener('submit', e => { if (window.block) e.preventDefault(); });
</script></body></html>)";

TEST_F(HtmlView, FormSubmissionsAreCapturedWithTheFieldsABrowserSendsAndGoNowhere) {
  TTempFolder temp;
  WriteFile(temp.Folder / "form.htm", FormPage);
  WriteFile(temp.Folder / "other.htm", "<p>somewhere else</p>");
  ASSERT_TRUE(LoadAndWait(View, temp.Path("form.htm")));
  const QVariant where = Js("location.href");

  // Typed for real: 8-bit characters must arrive as their windows-1252 bytes.
  Js("document.getElementById('t').focus()");
  QWidget* input = View.findChild<QWebEngineView*>()->focusProxy();
  for (const QChar c : QString::fromUtf8("a+b&c=d é€"))
    QTest::sendKeyEvent(QTest::Click, input, Qt::Key_unknown, QString(c), Qt::NoModifier);
  ASSERT_TRUE(QTest::qWaitFor(
      [&] { return Js("document.getElementById('t').value").toString().size() == 10; }));

  Js("window.block = true; document.getElementById('go').click()");
  Js("window.block = false; document.getElementById('go').click()");
  ASSERT_TRUE(WaitForCaptures(1));
  Js("document.getElementById('f').submit()");
  ASSERT_TRUE(WaitForCaptures(2));
  QTest::qWait(300);
  ASSERT_EQ(Captures.size(), 2u) << "a prevented submission was captured";
  Js("document.getElementById('alt').click()");
  ASSERT_TRUE(WaitForCaptures(3));

  const std::vector<std::string> fields = {
      "h=off", "c1=on", "c3=on", "r=b", "s=y", "t=a+b&c=d \xe9\x80", "ta=two\r\nlines"};
  std::vector<std::string> clicked = fields;
  clicked.push_back("go=Program");
  EXPECT_EQ(Captures[0].Fields, clicked);
  EXPECT_EQ(Captures[1].Fields, fields);
  EXPECT_EQ(Captures[2].Fields, fields);
  EXPECT_EQ(Captures[2].Action, "alt");
  EXPECT_EQ(Captures[2].Target, "side");
  EXPECT_EQ(Captures[2].Method, "get");
  Captures.pop_back();
  for (const TCapture& c : Captures) {
    EXPECT_EQ(c.Action, "program");
    EXPECT_EQ(c.Target, "_top");
    EXPECT_EQ(c.EncType, "multipart/form-data");
    EXPECT_EQ(c.Method, "post");
  }

  // Links, script navigation and new windows all stay where they are.
  Js("document.getElementById('link').click()");
  Js("location.href = 'other.htm'");
  EXPECT_EQ(Js("window.open('other.htm') === null"), true);
  QTest::qWait(500);
  EXPECT_EQ(Js("location.href"), where);
  EXPECT_EQ(Js("document.getElementById('t').value").toString().size(), 10);
  EXPECT_EQ(Js("document.getElementById('f').getAttribute('action')"), "program");
  EXPECT_EQ(Js("document.getElementById('f').getAttribute('method')"), "post");
  EXPECT_EQ(Js("document.getElementById('alt').getAttribute('formaction')"), "alt");
}

TEST_F(HtmlView, RegistersPageSubmitsTheWholeFormOnProgram) {
  Filler.Values = {{"r100", "12"}, {"r200", "on"}, {"r300", "level"}, {"r305", "log"}};
  View.SetPageRoot(Pages.string());
  ASSERT_TRUE(LoadAndWait(View, (Pages / "v1.10" / "regs.htm").string()));
  Js("document.querySelector('button[type=submit]').click()");
  ASSERT_TRUE(WaitForCaptures(1));
  const std::vector<std::string>& f = Captures[0].Fields;
  ASSERT_GE(f.size(), 4u);
  EXPECT_EQ(std::vector<std::string>(f.begin(), f.begin() + 4),
            (std::vector<std::string>{"r100=12", "r200=off", "r200=on", "r300=level"}));
  EXPECT_NE(std::find(f.begin(), f.end(), "r305=log"), f.end());
  EXPECT_NE(std::find(f.begin(), f.end(), "r201=off"), f.end());
  EXPECT_EQ(std::find(f.begin(), f.end(), "r201=on"), f.end());
  EXPECT_EQ(Captures[0].Action, "program");
  EXPECT_EQ(Captures[0].Method, "post");
}

TEST_F(HtmlView, VersionPageShowsImagesAndStylesheetFromTheFolderAbove) {
  Filler.Values = {{"i100", "TB-0042"}};
  View.SetPageRoot(Pages.string());
  ASSERT_TRUE(LoadAndWait(View, (Pages / "v1.00" / "info.htm").string()));
  EXPECT_EQ(Js("document.querySelector('.sub').textContent.startsWith('Unit TB-0042 ')"), true);
  EXPECT_GT(Js("document.querySelector('.top img').naturalWidth").toInt(), 0);
  EXPECT_EQ(Js("getComputedStyle(document.body).backgroundColor"), "rgb(243, 246, 250)");
  EXPECT_EQ(Js("getComputedStyle(document.querySelector('.card')).borderRadius"), "10px");
  View.Repaint();
  // The header's navy shows in a screenshot once the engine has delivered a frame.
  const QRgb navy = qRgb(0x16, 0x30, 0x56);
  EXPECT_TRUE(QTest::qWaitFor([&] {
    const QColor c = View.grab().toImage().pixelColor(2, 2);
    return std::abs(c.red() - qRed(navy)) < 8 && std::abs(c.green() - qGreen(navy)) < 8 &&
           std::abs(c.blue() - qBlue(navy)) < 8;
  }));
}

TEST_F(HtmlView, MissingPageShowsANoticeNamingTheFile) {
  TTempFolder temp;
  const std::string missing = temp.Path("v9.99/regs.htm");
  ASSERT_TRUE(LoadAndWait(View, missing));
  EXPECT_EQ(View.CurrentFile(), missing);
  EXPECT_EQ(Js("document.title"), "Page not found");
  EXPECT_EQ(Js("document.getElementById('file').textContent"), QString::fromStdString(missing));
}

TEST_F(HtmlView, NothingOutsideThePageRootIsServed) {
  TTempFolder temp;
  const fs::path root = temp.Folder / "root";
  const std::string logo = *ReadPageFile(Pages / "img" / "logo.png");
  WriteFile(root / "in.png", logo);
  WriteFile(temp.Folder / "out.png", logo);
  WriteFile(temp.Folder / "outside.htm", "<p>outside</p>");
  fs::create_symlink(temp.Folder / "out.png", root / "link.png");
  TLoopbackPeer server("127.0.0.161");
  WriteFile(root / "v1" / "page.htm",
            "<img id=in src='../in.png'><img id=up src='../../out.png'>"
            "<img id=enc src='..%2F..%2Fout.png'><img id=link src='../link.png'>"
            "<img id=host src='tallybox-page://elsewhere/in.png'>"
            "<img id=net src='http://127.0.0.161:6024/logo.png'>");
  View.SetPageRoot(root.string());
  ASSERT_TRUE(LoadAndWait(View, (root / "v1" / "page.htm").string()));
  EXPECT_GT(Js("document.getElementById('in').naturalWidth").toInt(), 0);
  // Every page shares the one origin: the engine keeps memory for each origin a page had.
  EXPECT_EQ(Js("self.origin"), "tallybox-page://pages");
  for (const char* id : {"up", "enc", "link", "host", "net"})
    EXPECT_EQ(Js(QString("document.getElementById('%1').naturalWidth").arg(id)), 0) << id;
  EXPECT_FALSE(server.Accept(300)) << "the page reached the network";

  // The same boundary asked directly, with what a page's URL cannot spell.
  TPageSchemeHandler pages;
  pages.SetRoot(root);
  EXPECT_EQ(pages.ResolveFile(QUrl("tallybox-page://pages/in.png")), root / "in.png");
  for (const char* url :
       {"tallybox-page://pages/../out.png", "tallybox-page://pages/../../etc/passwd",
        "tallybox-page://pages/v1/..%2F..%2F..%2F..%2Fetc%2Fpasswd",
        "tallybox-page://pages/link.png", "tallybox-page://pages/v1", "tallybox-page://pages/"})
    EXPECT_EQ(pages.ResolveFile(QUrl(url)), fs::path()) << url;

  ASSERT_TRUE(LoadAndWait(View, temp.Path("outside.htm")));
  EXPECT_EQ(Js("document.title"), "Page not available");
  EXPECT_EQ(Js("document.body.textContent.includes('outside the page folder')"), true);
  ASSERT_TRUE(LoadAndWait(View, (root / "v1").string()));
  EXPECT_EQ(Js("document.body.textContent.includes('is not a file')"), true);
}

}  // namespace

// With a screen reader attached the engine keeps an object for every node of every page shown;
// those of the pages gone are let go, and the page on screen keeps its tree. The engine builds
// the trees only when told at its start, so this case runs as a program of its own (as ctest
// runs every case) with a view of its own.
TEST(HtmlViewAccessibility, PagesGoneLeaveNoAccessibilityObjectsBehind) {
  qputenv("QTWEBENGINE_CHROMIUM_FLAGS", "--disable-gpu --force-renderer-accessibility");
  QAccessible::setActive(true);
  THtmlView view;
  view.resize(1000, 700);
  view.show();
  auto* engineView = view.findChild<QWebEngineView*>();
  ASSERT_NE(engineView, nullptr);
  const auto nodeObjects = [&] {
    int count = 0;
    for (QObject* object : engineView->findChildren<QObject*>())
      if (object->metaObject() == &QObject::staticMetaObject) ++count;
    return count;
  };
  const auto show = [&](int Times) {
    for (int i = 0; i < Times; ++i)
      for (const char* page : {"info.htm", "regs.htm"}) {
        ASSERT_TRUE(LoadAndWait(view, (Pages / "v1.00" / page).string()));
        QTest::qWait(100);  // the page's tree arrives after it
      }
  };
  show(2);
  const int settled = nodeObjects();
  show(10);
  const int later = nodeObjects();
  QAccessible::setActive(false);
  if (settled == 0) GTEST_SKIP() << "the engine had started before this case: no trees to see";
  // Each page's tree is a few hundred objects, let go a page or two after the page: kept, the
  // twenty pages shown meanwhile would add thousands.
  EXPECT_LT(later, settled + 1500) << "from " << settled << " to " << later;
}
