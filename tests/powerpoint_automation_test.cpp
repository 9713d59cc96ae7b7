// The PowerPoint session on the wire: what it calls, in which order, with
// which arguments, and what it makes of the answers, against a recording
// stand-in for PowerPoint.
#include "automation/powerpoint_automation.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "automation/auto_wrap.h"
#include "platform/com_runtime.h"
#include "platform/com_windows.h"
#include "support/recording_server.h"

namespace {

using Calls = std::vector<std::string>;
using Session = CPowerPointAutomation;

const std::string kWindow = "Application.ActiveWindow GET()";
const Calls kShownSlideShapes = {kWindow, "Window.Selection GET()", "Selection.SlideRange GET()",
                                 "SlideRange.Shapes GET()"};
const Calls kWriteText = {"Selection.TextRange GET()", "TextRange.Text PUT(BSTR Hello)", "TextFrame.HasText GET()",
                          "TextFrame.AutoSize PUT(I4 1)", "TextFrame.WordWrap PUT(I4 -1)"};
const Calls kSelectTitle = {"Slide.Shapes GET()", "Shapes.Title GET()", "Shape.Select METHOD()",
                            "Selection.ShapeRange GET()", "ShapeRange.TextFrame GET()", "TextFrame.HasText GET()"};

Calls Join(std::initializer_list<Calls> parts) {
    Calls all;
    for (const auto& part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

struct WireCase {
    const char* name;
    // Runs before the log is cleared: scripts answers, opens what the operation needs.
    std::function<void(CRecordingServer&, Session&)> prepare;
    std::function<HRESULT(Session&)> operation;
    Calls calls;
    HRESULT result;
};

void Started(CRecordingServer&, Session& ppt) { ASSERT_EQ(ppt.NewPresentation(0, 0), S_OK); }
void WithSlide(CRecordingServer& fake, Session& ppt) {
    Started(fake, ppt);
    ppt.MapSlideLayout(0x10000000);
    ASSERT_EQ(ppt.AddSlide(2, 11), S_OK);
}
void WithTextBox(CRecordingServer& fake, Session& ppt) {
    WithSlide(fake, ppt);
    ASSERT_EQ(ppt.AddTextBox("Hello", 1, 2, 3, 4), S_OK);
}

const std::vector<WireCase>& WireCases() {
    static const std::vector<WireCase> cases = {
        {"NewPresentation", nullptr, [](Session& p) { return p.NewPresentation(0, 0); },
         {"[create Application]", "Application.Visible PUT(BOOL 1)", "Application.DisplayAlerts PUT(I4 1)",
          "Application.Presentations GET()", "Application.Path GET()", "Presentations.Add METHOD(I4 1)"},
         S_OK},
        {"NewPresentationAlertsAll", nullptr, [](Session& p) { return p.NewPresentation(1, 1); },
         {"[create Application]", "Application.Visible PUT(BOOL 1)", "Application.DisplayAlerts PUT(I4 2)",
          "Application.Presentations GET()", "Application.Path GET()", "Presentations.Add METHOD(I4 1)"},
         S_OK},
        {"NewPresentationOtherAlertModeSetsNone", nullptr, [](Session& p) { return p.NewPresentation(0, 5); },
         {"[create Application]", "Application.Visible PUT(BOOL 1)", "Application.Presentations GET()",
          "Application.Path GET()", "Presentations.Add METHOD(I4 1)"},
         S_OK},
        {"NewPresentationAddFails",
         [](CRecordingServer& f, Session&) { f.Script("Presentations.Add", {FakeAnswer::Fails(DISP_E_EXCEPTION)}); },
         [](Session& p) { return p.NewPresentation(0, 0); },
         {"[create Application]", "Application.Visible PUT(BOOL 1)", "Application.DisplayAlerts PUT(I4 1)",
          "Application.Presentations GET()", "Application.Path GET()", "Presentations.Add METHOD(I4 1)"},
         DISP_E_EXCEPTION},
        {"OpenPresentation", nullptr,
         [](Session& p) { return p.OpenPresentation("C:\\deck.ppt", 0, 1) == "C:\\deck.ppt" ? S_OK : E_FAIL; },
         {"[create Application]", "Application.Presentations GET()", "Application.Visible PUT(BOOL 1)",
          "Presentations.Open METHOD(BSTR C:\\deck.ppt)", "Application.DisplayAlerts PUT(I4 2)"},
         S_OK},
        {"OpenPresentationRefused",
         [](CRecordingServer& f, Session&) { f.Script("Presentations.Open", {FakeAnswer::Fails(E_FAIL)}); },
         [](Session& p) { return p.OpenPresentation("C:\\deck.ppt", 0, 0).empty() ? p.m_hr : S_OK; },
         {"[create Application]", "Application.Presentations GET()", "Application.Visible PUT(BOOL 1)",
          "Presentations.Open METHOD(BSTR C:\\deck.ppt)"},
         E_FAIL},
        {"AddPresentation", Started, [](Session& p) { return p.AddPresentation(); },
         {"Application.Presentations GET()", "Application.Path GET()", "Presentations.Add METHOD(I4 1)"}, S_OK},
        {"SetVisible", Started,
         [](Session& p) {
             p.SetVisible();
             return p.m_hr;
         },
         {"Application.Visible PUT(BOOL 1)"}, S_OK},
        {"SaveAs", Started, [](Session& p) { return p.SavePresentation("C:\\out.ppt", 1); },
         {"Presentation.SaveAs METHOD(BSTR C:\\out.ppt)"}, S_OK},
        {"Save", Started, [](Session& p) { return p.SavePresentation("ignored", 0); },
         {"Presentation.Save METHOD()"}, S_OK},
        {"GetSlideCount",
         [](CRecordingServer& f, Session& p) {
             Started(f, p);
             f.Script("Slides.Count", {FakeAnswer::I4(7)});
         },
         [](Session& p) {
             LONG n = 0;
             HRESULT hr = p.GetSlideCount(n);
             return n == 7 ? hr : E_NOTIMPL;
         },
         {"Presentation.Slides GET()", "Slides.Count GET()"}, S_OK},
        {"CloseWithSave", Started, [](Session& p) { return p.ClosePowerPoint(1, "C:\\w.ppt", 1); },
         {"Presentation.SaveAs METHOD(BSTR C:\\w.ppt)", "Presentation.Close METHOD()", "[frame WM_CLOSE]",
          "Application.Quit METHOD()"},
         S_OK},
        {"CloseWithoutSave", Started, [](Session& p) { return p.ClosePowerPoint(0, "", 0); },
         {"Presentation.Close METHOD()", "[frame WM_CLOSE]", "Application.Quit METHOD()"}, S_OK},
        {"CloseWhenCloseFailsStillQuits",
         [](CRecordingServer& f, Session& p) {
             Started(f, p);
             f.Script("Presentation.Close", {FakeAnswer::Fails(DISP_E_EXCEPTION)});
         },
         [](Session& p) { return p.ClosePowerPoint(0, "", 0); },
         {"Presentation.Close METHOD()", "[frame WM_CLOSE]", "Application.Quit METHOD()"}, S_OK},
        {"AddSlide", Started, [](Session& p) { return p.AddSlide(2, 11); },
         {"Presentation.Slides GET()", "Slides.Add METHOD(I4 11, I4 2)", kWindow, "Window.ViewType PUT(I4 1)",
          "Window.View GET()", "View.GotoSlide METHOD(I4 2)"},
         S_OK},
        {"AddSlideThroughSlideShowWindow",
         [](CRecordingServer& f, Session& p) {
             Started(f, p);
             f.Script("Application.ActiveWindow", {FakeAnswer::Fails(E_FAIL)});
         },
         [](Session& p) { return p.AddSlide(1, 12); },
         {"Presentation.Slides GET()", "Slides.Add METHOD(I4 12, I4 1)", kWindow,
          "Presentation.SlideShowWindow GET()", "Window.ViewType PUT(I4 1)", "Window.View GET()",
          "View.GotoSlide METHOD(I4 1)"},
         S_OK},
        {"AddSlideWithoutAnyWindow",
         [](CRecordingServer& f, Session& p) {
             Started(f, p);
             f.Script("Application.ActiveWindow", {FakeAnswer::Fails(E_FAIL)});
             f.Script("Presentation.SlideShowWindow", {FakeAnswer::Fails(DISP_E_EXCEPTION)});
         },
         [](Session& p) { return p.AddSlide(1, 12); },
         {"Presentation.Slides GET()", "Slides.Add METHOD(I4 12, I4 1)", kWindow,
          "Presentation.SlideShowWindow GET()"},
         DISP_E_EXCEPTION},
        {"AddSlideFailsAtAdd",
         [](CRecordingServer& f, Session& p) {
             Started(f, p);
             f.Script("Slides.Add", {FakeAnswer::Fails(DISP_E_BADINDEX)});
         },
         [](Session& p) { return p.AddSlide(9, 1); }, {"Presentation.Slides GET()", "Slides.Add METHOD(I4 1, I4 9)"},
         DISP_E_BADINDEX},
        {"SetSlideTitleIntoEmptyTitle",
         [](CRecordingServer& f, Session& p) {
             WithSlide(f, p);
             f.Script("TextFrame.HasText", {FakeAnswer::Boolean(false), FakeAnswer::Boolean(true)});
         },
         [](Session& p) { return p.SetSlideTitle("Hello", 1, 2, 3, 4); },
         Join({kShownSlideShapes, kSelectTitle, kWriteText, {"Selection.Unselect METHOD()"}}), S_OK},
        {"SetSlideTitleTextDoesNotStick",
         [](CRecordingServer& f, Session& p) {
             WithSlide(f, p);
             f.Script("TextFrame.HasText", {FakeAnswer::Boolean(false)});
         },
         [](Session& p) { return p.SetSlideTitle("Hello", 1, 2, 3, 4); },
         Join({kShownSlideShapes, kSelectTitle,
               {"Selection.TextRange GET()", "TextRange.Text PUT(BSTR Hello)", "TextFrame.HasText GET()",
                "Selection.Unselect METHOD()"}}),
         1},
        {"SetSlideTitleRefusedWhenTakenAndNotTitleLayout",
         [](CRecordingServer& f, Session& p) {
             WithSlide(f, p);
             f.Script("TextFrame.HasText", {FakeAnswer::I4(-1)});
         },
         [](Session& p) { return p.SetSlideTitle("Hello", 1, 2, 3, 4); },
         Join({kShownSlideShapes, kSelectTitle, {"Selection.Unselect METHOD()"}}), 1},
        {"SetSlideTitleIntoSubtitleOfTitleSlide",
         [](CRecordingServer& f, Session& p) {
             WithSlide(f, p);
             p.MapSlideLayout(0);
             f.Script("TextFrame.HasText",
                      {FakeAnswer::Boolean(true), FakeAnswer::Boolean(false), FakeAnswer::Boolean(true)});
         },
         [](Session& p) { return p.SetSlideTitle("Hello", 1, 2, 3, 4); },
         Join({kShownSlideShapes, kSelectTitle,
               {"Shapes.Item METHOD(I4 2)", "Shape.Select METHOD()", "Shape.TextFrame GET()",
                "TextFrame.HasText GET()"},
               kWriteText, {"Selection.Unselect METHOD()"}}),
         S_OK},
        {"SetSlideTitleRefusedWhenSubtitleTaken",
         [](CRecordingServer& f, Session& p) {
             WithSlide(f, p);
             p.MapSlideLayout(0);
             f.Script("TextFrame.HasText", {FakeAnswer::I4(1)});
         },
         [](Session& p) { return p.SetSlideTitle("Hello", 1, 2, 3, 4); },
         Join({kShownSlideShapes, kSelectTitle,
               {"Shapes.Item METHOD(I4 2)", "Shape.Select METHOD()", "Shape.TextFrame GET()",
                "TextFrame.HasText GET()", "Selection.Unselect METHOD()"}}),
         1},
        {"AddTextBox",
         [](CRecordingServer& f, Session& p) {
             WithSlide(f, p);
             f.Script("TextFrame.HasText", {FakeAnswer::Boolean(true)});
         },
         [](Session& p) { return p.AddTextBox("Hello", 95, 105, 250, 300); },
         Join({kShownSlideShapes,
               {"Shapes.AddTextbox METHOD(R4 300, R4 250, R4 105, R4 95, R4 1)", "Shape.Select METHOD()",
                "Selection.ShapeRange GET()", "ShapeRange.TextFrame GET()"},
               kWriteText, {"Selection.Unselect METHOD()"}}),
         S_OK},
        {"AddTextBoxHasTextFails",
         [](CRecordingServer& f, Session& p) {
             WithSlide(f, p);
             f.Script("TextFrame.HasText", {FakeAnswer::Fails(DISP_E_EXCEPTION)});
         },
         [](Session& p) { return p.AddTextBox("Hello", 95, 105, 250, 300); },
         Join({kShownSlideShapes,
               {"Shapes.AddTextbox METHOD(R4 300, R4 250, R4 105, R4 95, R4 1)", "Shape.Select METHOD()",
                "Selection.ShapeRange GET()", "ShapeRange.TextFrame GET()", "Selection.TextRange GET()",
                "TextRange.Text PUT(BSTR Hello)", "TextFrame.HasText GET()"}}),
         DISP_E_EXCEPTION},
        {"SetFont", WithTextBox, [](Session& p) { return p.SetFont(); },
         {"TextRange.Font GET()", "Font.NameAscii PUT(BSTR Calibri)", "Font.Bold PUT(UI1 0)", "Font.Size PUT(UI1 15)",
          "Font.Italic PUT(UI1 1)"},
         S_OK},
        {"SetFontWithoutText", Started, [](Session& p) { return p.SetFont(); }, {}, E_FAIL},
        {"AddPicture", WithSlide, [](Session& p) { return p.AddPicture("C:\\PICT1.PNG", 50, 60, 70, 80); },
         Join({kShownSlideShapes,
               {"Shapes.AddPicture METHOD(R4 80, R4 70, R4 60, R4 50, I4 1, I4 0, BSTR C:\\PICT1.PNG)"}}),
         S_OK},
        {"DeleteEmptyShapesOfThreeEmptyPlaceholders",
         [](CRecordingServer& f, Session& p) {
             WithSlide(f, p);
             f.Script("Shapes.Item", {FakeAnswer::Obj("Shape"), FakeAnswer::Obj("Shape"), FakeAnswer::Obj("Shape"),
                                      FakeAnswer::Fails(DISP_E_BADINDEX)});
         },
         [](Session& p) { return p.DeleteEmptyShapes(); },
         Join({{"Slide.Shapes GET()"},
               {"Shapes.Item METHOD(I4 1)", "Shape.Select METHOD()", "Shape.TextFrame GET()", "TextFrame.HasText GET()",
                "Shape.Delete METHOD()"},
               {"Shapes.Item METHOD(I4 1)", "Shape.Select METHOD()", "Shape.TextFrame GET()", "TextFrame.HasText GET()",
                "Shape.Delete METHOD()"},
               {"Shapes.Item METHOD(I4 1)", "Shape.Select METHOD()", "Shape.TextFrame GET()", "TextFrame.HasText GET()",
                "Shape.Delete METHOD()"},
               {"Shapes.Item METHOD(I4 1)"}}),
         DISP_E_BADINDEX},
        {"DeleteEmptyShapesKeepsText",
         [](CRecordingServer& f, Session& p) {
             WithSlide(f, p);
             f.Script("Shapes.Item", {FakeAnswer::Obj("Shape"), FakeAnswer::Fails(DISP_E_BADINDEX)});
             f.Script("TextFrame.HasText", {FakeAnswer::Boolean(true)});
         },
         [](Session& p) { return p.DeleteEmptyShapes(); },
         {"Slide.Shapes GET()", "Shapes.Item METHOD(I4 1)", "Shape.Select METHOD()", "Shape.TextFrame GET()",
          "TextFrame.HasText GET()", "Shapes.Item METHOD(I4 2)"},
         DISP_E_BADINDEX},
        {"DeleteEmptyShapesWithoutSlide", Started, [](Session& p) { return p.DeleteEmptyShapes(); }, {}, S_OK},
        {"DeleteSlideIfEmpty",
         [](CRecordingServer& f, Session& p) {
             WithSlide(f, p);
             f.Script("Shapes.Item", {FakeAnswer::Fails(DISP_E_BADINDEX)});
         },
         [](Session& p) { return p.DeleteSlideIfEmpty(); },
         {"Slide.Shapes GET()", "Shapes.Item METHOD(I4 1)", "Slide.Delete METHOD()"}, S_OK},
        {"DeleteSlideIfEmptyKeepsSlideWithShape", WithSlide, [](Session& p) { return p.DeleteSlideIfEmpty(); },
         {"Slide.Shapes GET()", "Shapes.Item METHOD(I4 1)"}, S_OK},
        {"ApplyDesignTheme",
         [](CRecordingServer& f, Session& p) {
             Started(f, p);
             p.m_strDesignName = "Ocean";
         },
         [](Session& p) { return p.ApplyDesign(); },
         {"Presentation.SlideMaster GET()",
          "SlideMaster.ApplyTheme METHOD(BSTR C:\\Program Files\\Microsoft Office\\Document Themes 14\\Ocean.thmx)"},
         S_OK},
        {"ApplyDesignThemeFallsBack",
         [](CRecordingServer& f, Session& p) {
             Started(f, p);
             p.m_strDesignName = "Ocean";
             f.Script("SlideMaster.ApplyTheme", {FakeAnswer::Fails(E_FAIL), FakeAnswer::Fails(DISP_E_EXCEPTION)});
         },
         [](Session& p) { return p.ApplyDesign(); },
         {"Presentation.SlideMaster GET()",
          "SlideMaster.ApplyTheme METHOD(BSTR C:\\Program Files\\Microsoft Office\\Document Themes 14\\Ocean.thmx)",
          "SlideMaster.ApplyTheme METHOD(BSTR C:\\Program Files\\Microsoft Office\\Document Themes 14\\Origin.thmx)"},
         DISP_E_EXCEPTION},
        {"ApplyDesignTemplateFallsBackOnPresentation",
         [](CRecordingServer& f, Session& p) {
             Started(f, p);
             p.m_nVersion = 2003;
             p.m_strDesignName = "Ocean";
             f.Script("SlideMaster.ApplyTemplate", {FakeAnswer::Fails(E_FAIL)});
         },
         [](Session& p) { return p.ApplyDesign(); },
         {"Presentation.SlideMaster GET()",
          "SlideMaster.ApplyTemplate METHOD(BSTR C:\\Program Files\\Microsoft Office\\Templates\\Presentation "
          "Designs\\Ocean.pot)",
          "Presentation.ApplyTemplate METHOD(BSTR C:\\Program Files\\Microsoft Office\\Templates\\Presentation "
          "Designs\\Edge.pot)"},
         S_OK},
        {"SetDocumentProperties",
         [](CRecordingServer& f, Session& p) {
             Started(f, p);
             p.m_pDocProperties = {"T", "S", "A"};
         },
         [](Session& p) { return p.SetDocumentProperties(); },
         {"Presentation.BuiltInDocumentProperties GET()", "BuiltInDocumentProperties.Item GET(I4 1)",
          "Property.Value PUT(BSTR T)", "BuiltInDocumentProperties.Item GET(I4 2)", "Property.Value PUT(BSTR S)",
          "BuiltInDocumentProperties.Item GET(I4 3)", "Property.Value PUT(BSTR A)"},
         S_OK},
        {"SetDocumentPropertiesStopsAtFailure",
         [](CRecordingServer& f, Session& p) {
             Started(f, p);
             f.Script("BuiltInDocumentProperties.Item", {FakeAnswer::Obj("Property"), FakeAnswer::Fails(E_FAIL)});
         },
         [](Session& p) { return p.SetDocumentProperties(); },
         {"Presentation.BuiltInDocumentProperties GET()", "BuiltInDocumentProperties.Item GET(I4 1)",
          "Property.Value PUT(BSTR )", "BuiltInDocumentProperties.Item GET(I4 2)"},
         E_FAIL},
        {"UnknownMemberNameIsReturnedUnchanged",
         [](CRecordingServer& f, Session& p) {
             Started(f, p);
             f.Unknown("Presentation.Slides");
         },
         [](Session& p) { return p.AddSlide(1, 1); }, {"Presentation.Slides UNKNOWN"}, DISP_E_UNKNOWNNAME},
    };
    return cases;
}

class WireFormat : public ::testing::TestWithParam<std::size_t> {};

TEST_P(WireFormat, CallsInOrderAndKeepsTheResult) {
    const WireCase& c = WireCases()[GetParam()];
    CRecordingServer fake;
    {
        Session ppt;
        if (c.prepare)
            c.prepare(fake, ppt);
        fake.ClearLog();
        HRESULT hr = c.operation(ppt);
        EXPECT_EQ(fake.Log(), c.calls);
        EXPECT_EQ(hr, c.result);
        EXPECT_EQ(ppt.m_hr, c.result);
        ppt.ClosePowerPoint(0, "", 0);
    }
    EXPECT_EQ(fake.LiveObjects(), 0) << "references left behind";
}

INSTANTIATE_TEST_SUITE_P(Operations, WireFormat, ::testing::Range<std::size_t>(0, WireCases().size()),
                         [](const auto& info) { return std::string(WireCases()[info.param].name); });

TEST(PowerPointSession, SaveAndCloseBeforeStartFailWithoutCalls) {
    CRecordingServer fake;
    Session ppt;
    EXPECT_EQ(ppt.SavePresentation("C:\\x.ppt", 1), E_FAIL);
    EXPECT_EQ(ppt.m_hr, E_FAIL);
    EXPECT_EQ(ppt.ClosePowerPoint(1, "C:\\x.ppt", 1), E_FAIL);
    EXPECT_EQ(ppt.m_hr, E_FAIL);
    EXPECT_TRUE(fake.Log().empty());
}

TEST(PowerPointSession, WithoutAServerNewGivesOneAndOpenGivesNothing) {
    auto previous = CoRevokeServer(kPowerPointProgId);
    {
        Session ppt;
        EXPECT_EQ(ppt.NewPresentation(0, 0), 1);
        EXPECT_EQ(ppt.m_hr, 1);
        EXPECT_EQ(ppt.OpenPresentation("C:\\deck.ppt", 0, 0), "");
        EXPECT_EQ(ppt.m_pApplication, nullptr);
    }
    CoRestoreServer(kPowerPointProgId, previous);
}

TEST(PowerPointSession, AServerThatCannotBeCreatedGivesOneAndNothing) {
    CRecordingServer fake;
    fake.FailCreation(CO_E_SERVER_EXEC_FAILURE);
    Session ppt;
    EXPECT_EQ(ppt.NewPresentation(0, 0), 1);
    EXPECT_EQ(ppt.OpenPresentation("C:\\deck.ppt", 0, 0), "");
    EXPECT_EQ(ppt.m_hr, E_FAIL);  // the next call, on no object
    EXPECT_TRUE(fake.Log().empty());
}

TEST(PowerPointSession, ARunningPowerPointIsOnlyProbed) {
    CRecordingServer fake;
    fake.RegisterRunning();
    Session ppt;
    ASSERT_EQ(ppt.NewPresentation(0, 0), S_OK);
    for (const auto& call : fake.Log())
        EXPECT_EQ(call.find("RunningApplication"), std::string::npos) << call;
    ppt.ClosePowerPoint(0, "", 0);
}

TEST(PowerPointSession, VersionComesFromTheFrameWindowClass) {
    struct Case {
        const char* frameClass;
        std::int16_t afterNew;
        std::int16_t afterOpenFrom2003;
    };
    const Case cases[] = {
        {"PP97FrameClass", 97, 2003},  {"PP9FrameClass", 2000, 2000}, {"PP10FrameClass", 2002, 2002},
        {"PP11FrameClass", 2003, 2003}, {"PP12FrameClass", 2007, 2007}, {"PPTFrameClass", 2010, 2010},
        {"", 2000, 2003},  // no window found: unchanged
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.frameClass);
        CRecordingServer fake(c.frameClass);
        Session ppt;
        ASSERT_EQ(ppt.NewPresentation(0, 0), S_OK);
        EXPECT_EQ(ppt.m_nVersion, c.afterNew);
        ppt.ClosePowerPoint(0, "", 0);

        ppt.m_nVersion = 2003;
        ASSERT_EQ(ppt.OpenPresentation("C:\\deck.ppt", 0, 0), "C:\\deck.ppt");
        EXPECT_EQ(ppt.m_nVersion, c.afterOpenFrom2003);
        EXPECT_EQ(ppt.m_strPresentationPath, "C:\\deck.ppt");
        ppt.ClosePowerPoint(0, "", 0);
    }
}

TEST(PowerPointSession, FrameWindowIsHiddenUnlessVisibleIsAsked) {
    for (BOOL visible : {FALSE, TRUE}) {
        CRecordingServer fake;
        Session ppt;
        ASSERT_EQ(ppt.OpenPresentation("C:\\deck.ppt", visible, 0), "C:\\deck.ppt");
        EXPECT_EQ(IsWindowVisible(fake.Frame()), visible);
        ppt.ClosePowerPoint(0, "", 0);

        ASSERT_EQ(ppt.NewPresentation(visible, 0), S_OK);
        EXPECT_EQ(IsWindowVisible(fake.Frame()), visible);
        ppt.ClosePowerPoint(0, "", 0);
    }
}

TEST(PowerPointSession, HeldObjectsAreTheFieldsAndCloseReleasesThemAll) {
    CRecordingServer fake;
    Session ppt;
    ASSERT_EQ(ppt.NewPresentation(0, 0), S_OK);
    LONG count = 0;
    for (LONG i = 1; i <= 3; ++i) {
        ASSERT_EQ(ppt.GetSlideCount(count), S_OK);
        ASSERT_EQ(ppt.AddSlide(i, 12), S_OK);
        ASSERT_EQ(ppt.AddTextBox("Hello", 1, 2, 3, 4), S_OK);
    }
    // Application, Presentations, Presentation, Slides, Slide, Selection, TextRange.
    EXPECT_EQ(fake.LiveObjects(), 7);
    EXPECT_EQ(ppt.ClosePowerPoint(0, "", 0), S_OK);
    EXPECT_EQ(fake.LiveObjects(), 0);
    EXPECT_EQ(ppt.m_pApplication, nullptr);
    EXPECT_EQ(ppt.m_pPresentation, nullptr);
}

TEST(PowerPointSession, AFailedOpenLeavesNothingForTheNextSession) {
    CRecordingServer fake;
    fake.Script("Presentations.Open", {FakeAnswer::Fails(E_FAIL), FakeAnswer::Obj("Presentation")});
    Session ppt;
    EXPECT_EQ(ppt.OpenPresentation("C:\\broken.ppt", 0, 0), "");
    EXPECT_NE(ppt.m_pApplication, nullptr);  // kept, as after any failing member
    ASSERT_EQ(ppt.NewPresentation(0, 0), S_OK);
    EXPECT_EQ(fake.LiveObjects(), 3);  // the first Application and Presentations were let go
    ppt.ClosePowerPoint(0, "", 0);
    EXPECT_EQ(fake.LiveObjects(), 0);
}

// The texts of a slide include those inside groups and table cells. What the
// office answers about a damaged file is not trusted: groups inside groups are
// read to a depth, and a table of absurd size is not read cell by cell.
TEST(PowerPointSession, TextsInsideGroupsAndTablesWithinBounds) {
    const auto count = [](const Calls& log, const std::string& call) {
        return static_cast<std::size_t>(std::count(log.begin(), log.end(), call));
    };
    const auto table = [](CRecordingServer& f, LONG rows, LONG columns) {
        f.Script("Shape.Type", {FakeAnswer::I4(19)});  // msoTable
        f.Script("Shape.Table", {FakeAnswer::Obj("Table")});
        f.Script("Rows.Count", {FakeAnswer::I4(rows)});
        f.Script("Columns.Count", {FakeAnswer::I4(columns)});
        f.Script("Table.Cell", {FakeAnswer::Obj("Cell")});
        f.Script("Cell.Shape", {FakeAnswer::Obj("Shape")});
        f.Script("TextRange.Text", {FakeAnswer::Str("cell")});
    };
    const struct {
        const char* what;
        std::function<void(CRecordingServer&)> prepare;
        std::vector<std::string> texts;
        std::size_t groupsOpened, cellsRead;
    } cases[] = {
        {"a table of two rows and three columns, read row by row", [&](CRecordingServer& f) { table(f, 2, 3); },
         std::vector<std::string>(6, "cell"), 0, 6},
        {"a table of absurd size", [&](CRecordingServer& f) { table(f, 100000, 100000); }, {}, 0, 0},
        {"groups inside groups without end",
         [](CRecordingServer& f) {
             f.Script("Shape.Type", {FakeAnswer::I4(6)});  // msoGroup
             f.Script("GroupItems.Count", {FakeAnswer::I4(1)});
             f.Script("GroupItems.Item", {FakeAnswer::Obj("Shape")});
         },
         {}, 16, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        CRecordingServer fake;
        Session ppt;
        ASSERT_EQ(ppt.NewPresentation(0, 0), S_OK);
        fake.Script("Slides.Count", {FakeAnswer::I4(1)});
        fake.Script("Shapes.Count", {FakeAnswer::I4(1)});
        c.prepare(fake);
        fake.ClearLog();
        std::vector<std::string> texts;
        EXPECT_EQ(ppt.GetTexts(texts), S_OK);
        EXPECT_EQ(texts, c.texts);
        EXPECT_EQ(count(fake.Log(), "Shape.GroupItems GET()"), c.groupsOpened);
        // Cell(2, 3), the last cell read: the arguments are logged last first.
        EXPECT_EQ(count(fake.Log(), "Table.Cell METHOD(I4 3, I4 2)"), c.cellsRead ? 1u : 0u);
        EXPECT_EQ(static_cast<std::size_t>(std::count_if(fake.Log().begin(), fake.Log().end(), [](const std::string& call) {
                      return call.starts_with("Table.Cell ");
                  })),
                  c.cellsRead);
        ppt.ClosePowerPoint(0, "", 0);
    }
}

TEST(PowerPointSession, MapSlideLayoutCoversEveryRow) {
    const std::pair<std::uint32_t, LONG> rows[] = {
        {0x00000000, 1},  {0x01000000, 2},  {0x02000000, 3},  {0x08000000, 3},  {0x07000000, 11},
        {0x10000000, 11}, {0x09000000, 25}, {0x0A000000, 26}, {0x0B000000, 27}, {0x11000000, 27},
        {0x0D000000, 28}, {0x12000000, 28}, {0x0E000000, 24}, {0x0F000000, 15}, {0x03000000, 12},
        {0x00000001, 12}, {0x13000000, 12}, {0xFFFFFFFF, 12},
    };
    Session ppt;
    for (auto [value, layout] : rows) {
        EXPECT_EQ(ppt.MapSlideLayout(value), layout) << std::hex << value;
        EXPECT_EQ(ppt.m_nLayout, layout);
    }
}

TEST(PowerPointSession, DesignPathsFollowVersionAndName) {
    struct Case {
        std::int16_t version;
        const char* name;
        const char* path;
        const char* fallback;
    };
    const std::string office = "C:\\Program Files\\Microsoft Office";
    const Case cases[] = {
        {2007, "", "\\Document Themes 12\\Origin.thmx", "\\Document Themes 12\\Origin.thmx"},
        {2007, "Default Design", "\\Document Themes 12\\Origin.thmx", "\\Document Themes 12\\Origin.thmx"},
        {2007, "Ocean", "\\Document Themes 12\\Ocean.thmx", "\\Document Themes 12\\Origin.thmx"},
        {2010, "", "\\Document Themes 14\\Origin.thmx", "\\Document Themes 14\\Origin.thmx"},
        {2010, "Default Design", "\\Document Themes 14\\Origin.thmx", "\\Document Themes 14\\Origin.thmx"},
        {2010, "Ocean", "\\Document Themes 14\\Ocean.thmx", "\\Document Themes 14\\Origin.thmx"},
        {2003, "", "\\Templates\\Presentation Designs\\Edge.pot", "\\Templates\\Presentation Designs\\Edge.pot"},
        {2000, "Default Design", "\\Templates\\Presentation Designs\\Edge.pot",
         "\\Templates\\Presentation Designs\\Edge.pot"},
        {2002, "Ocean", "\\Templates\\Presentation Designs\\Ocean.pot", "\\Templates\\Presentation Designs\\Edge.pot"},
    };
    Session ppt;
    ppt.m_strAppPath = office + "\\Office14";
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.version) + " " + c.name);
        ppt.m_nVersion = c.version;
        ppt.m_strDesignName = c.name;
        EXPECT_EQ(ppt.DesignPath(), office + c.path);
        EXPECT_EQ(ppt.FallbackDesignPath(), office + c.fallback);
    }
    // A program path without a backslash in its last 11 characters leaves no folder.
    ppt.m_strAppPath = "/usr/lib/libreoffice/program";
    ppt.m_nVersion = 2010;
    ppt.m_strDesignName = "";
    EXPECT_EQ(ppt.DesignPath(), "\\Document Themes 14\\Origin.thmx");
}

TEST(PowerPointSession, ResetForgetsEverything) {
    Session ppt;
    ppt.m_pDocProperties = {"a", "b", "c"};
    ppt.m_strDesignName = "Ocean";
    ppt.m_hr = E_FAIL;
    ppt.m_nVersion = 97;
    ppt.Reset();
    EXPECT_EQ(ppt.m_pDocProperties, (std::array<std::string, 3>{}));
    EXPECT_EQ(ppt.m_strDesignName, "");
    EXPECT_EQ(ppt.m_hr, S_OK);
    EXPECT_EQ(ppt.m_nVersion, 2000);
}

}  // namespace
