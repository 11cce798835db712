#include "app/MainWindow.h"
#include "app/widgets/BarIndicator.h"
#include "app/widgets/GlassButton.h"
#include "app/widgets/StatusIndicator.h"
#include "config/DataFile.h"
#include "editor/EditForm.h"
#include "support/WindowPoints.h"
#include "support/WindowRig.h"

#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTextDocument>
#include <QTimer>

#include <gtest/gtest.h>

namespace {
// The control's rectangle in the client area of the window.
QRect Place(const TMainForm& form, const QString& name) {
  const auto* widget = form.findChild<QWidget*>(name);
  if (!widget) return {};
  return QRect(widget->mapTo(&form, QPoint(0, 0)), widget->size());
}
}  // namespace

TEST(MainWindow, ControlsSitAtTheirLayoutPositions) {
  WindowRig w;
  TMainForm& form = *w.form;
  EXPECT_EQ(form.windowTitle().toStdString(), MainWindowTitle());  // its text: tests/app/StartupTest.cpp
  EXPECT_EQ(form.size(), QSize(899, 517));
  EXPECT_EQ(form.font().pixelSize(), 11);

  EXPECT_EQ(Place(form, "Panel1"), QRect(0, 434, 899, 83));
  EXPECT_EQ(Place(form, "LoadButton"), QRect(88, 466, 75, 25));
  EXPECT_EQ(Place(form, "EditButton"), QRect(216, 466, 75, 25));
  EXPECT_EQ(Place(form, "HelpButton"), QRect(624, 466, 75, 25));
  EXPECT_EQ(Place(form, "ExitButton"), QRect(749, 466, 75, 25));
  EXPECT_EQ(Place(form, "Panel12"), QRect(0, 356, 899, 78));
  EXPECT_EQ(Place(form, "ConnectButton"), QRect(96, 388, 75, 25));
  EXPECT_EQ(Place(form, "ConnectionStatusLabel"), QRect(224, 392, 82, 13));
  EXPECT_EQ(Place(form, "CommsStatusAdvSmoothStatusIndicator"), QRect(312, 388, 24, 24));
  EXPECT_EQ(Place(form, "Panel10"), QRect(1, 1, 320, 350));
  EXPECT_EQ(Place(form, "Panel11"), QRect(321, 1, 275, 350));

  for (int n = 1; n <= 16; ++n) {
    const int top = 1 + 13 + 43 * ((n - 1) % 8);
    const bool right = n > 8;
    EXPECT_EQ(Place(form, QString("InputStatusLabel%1").arg(n)), QRect(1 + (right ? 180 : 20), top, 80, 24)) << n;
    EXPECT_EQ(Place(form, QString("InputStatusAdvSmoothStatusIndicator%1").arg(n)),
              QRect(1 + (right ? 266 : 106), top, 24, 24))
        << n;
    EXPECT_EQ(Place(form, QString("OuputStatusAdvGlassButton%1").arg(n)), QRect(321 + (right ? 160 : 16), top, 97, 24))
        << n;
    EXPECT_EQ(form.findChild<QLabel*>(QString("InputStatusLabel%1").arg(n))->alignment() & Qt::AlignRight,
              Qt::AlignRight);
  }
  const int lefts[4] = {600, 675, 750, 825};
  for (int n = 1; n <= 8; ++n) {
    const QPoint origin(lefts[(n - 1) % 4], n <= 4 ? 1 : 176);
    EXPECT_EQ(Place(form, QString("Panel%1").arg(n + 1)), QRect(origin, QSize(75, 175))) << n;
    EXPECT_EQ(Place(form, QString("AnalogueStatusJvSimIndicator%1").arg(n)).topLeft(), origin + QPoint(24, 32)) << n;
    EXPECT_EQ(form.findChild<BarIndicator*>(QString("AnalogueStatusJvSimIndicator%1").arg(n))->maximum(), 1023);
    const QRect label = Place(form, QString("AnalogueStatusLabel%1").arg(n));
    EXPECT_EQ(label.height(), 31);
    EXPECT_EQ(label.bottom(), origin.y() + 175 - 2) << n;
    EXPECT_EQ(Place(form, QString("AnalogueStatusValueLabel%1").arg(n)).top(), origin.y() + 6) << n;
  }

  // Captions, designators and the link bar as start-up leaves them.
  EXPECT_EQ(form.findChild<QPushButton*>("ConnectButton")->text(), "Connect");
  EXPECT_EQ(form.findChild<QLabel*>("InputStatusLabel16")->text(), "Input 16");
  EXPECT_EQ(form.findChild<GlassButton*>("OuputStatusAdvGlassButton3")->text(), "Output 3");
  EXPECT_EQ(form.findChild<QLabel*>("AnalogueStatusLabel8")->text(), "Analogue 8");
  EXPECT_EQ(form.findChild<StatusIndicator*>("CommsStatusAdvSmoothStatusIndicator")->caption(), "0");
  EXPECT_TRUE(form.findChild<QPushButton*>("HelpButton")->isHidden());

  // The longest link status fits its label in the window's font.
  const QLabel* status = form.findChild<QLabel*>("ConnectionStatusLabel");
  EXPECT_LE(QFontMetrics(status->font()).horizontalAdvance("Connection Lost"), status->width());

  QTimer* timer = form.Timer1();
  EXPECT_EQ(timer->objectName(), "Timer1");
  EXPECT_EQ(timer->interval(), 50);
  EXPECT_EQ(timer->timerType(), Qt::PreciseTimer);
  EXPECT_TRUE(timer->isActive());
}

// The points the scripts photograph and click lie on the controls they name.
TEST(MainWindow, ScriptPointsLieOnTheirControls) {
  WindowRig w;
  const std::vector<WindowPoint> points = ReadWindowPoints();
  for (const WindowPoint& point : points) {
    const QWidget* hit = point.x < 0 ? nullptr : w.form->childAt(point.x, point.y);
    EXPECT_EQ(hit ? hit->objectName().toStdString() : std::string(), point.name) << point.x << " " << point.y;
  }
  EXPECT_EQ(points.size(), 16u + 8 + 2);  // the input lamps, the analogue bars, the link lamp, Edit
}

TEST(MainWindow, EditShowsTheEditorAndExitCloses) {
  WindowRig w;
  TMainForm& form = *w.form;
  form.show();
  int shown = 0;
  form.SetEditorShower([&] { ++shown; });
  QTest::mouseClick(form.findChild<QPushButton*>("EditButton"), Qt::LeftButton);
  EXPECT_EQ(shown, 1);

  QSignalSpy closed(&form, &TMainForm::closed);
  QTest::mouseClick(form.findChild<QPushButton*>("ExitButton"), Qt::LeftButton);
  EXPECT_EQ(closed.count(), 1);
  EXPECT_FALSE(form.isVisible());
  EXPECT_EQ(w.logLines().back(), "05/12/2026,14:03:27,Application Closed\r\n");
}

TEST(MainWindow, FirstTickDrawsTheLinkStatus) {
  WindowRig w;
  TMainForm& form = *w.form;
  form.Core().Timer1Timer();
  EXPECT_EQ(form.findChild<QLabel*>("ConnectionStatusLabel")->text(), "Not Connected");
  EXPECT_EQ(form.findChild<StatusIndicator*>("CommsStatusAdvSmoothStatusIndicator")->fillColour(), Colours::Grey);
}

TEST(MainWindow, DesignatorsShowWholeInTooltipsAfterEveryApply) {
  WindowRig w({}, WindowRig::Tick::Stopped);
  TMainForm& form = *w.form;
  auto* input = form.findChild<QLabel*>("InputStatusLabel1");
  auto* output = form.findChild<GlassButton*>("OuputStatusAdvGlassButton16");
  auto* analogue = form.findChild<QLabel*>("AnalogueStatusLabel8");
  ASSERT_TRUE(input && output && analogue);
  EXPECT_EQ(input->toolTip(), "Input 1");
  EXPECT_EQ(output->toolTip(), "Output 16");
  EXPECT_EQ(analogue->toolTip(), "Analogue 8");

  // Loaded names too long for their controls, one with an 8-bit character: the captions are
  // the names as before (clipped on screen), the tooltips show them whole.
  UnitConfiguration loaded = w.core().Configuration;
  WriteText(loaded.InputDesignator[0], "Boiler Room Door Contact North AB");
  WriteText(loaded.OutputDesignator[15],
            "Feed Pump Motor Starter Relay \xB0"
            "C16");
  WriteText(loaded.AnalogueDesignator[7], "Return Water Temperature Sensor 8");
  const auto file = w.temp.path / "long-names.dat";
  ASSERT_TRUE(WriteDataFile(file.string(), loaded).ok);
  w.prompts.openNames = {file.string()};
  QTest::mouseClick(form.findChild<QPushButton*>("LoadButton"), Qt::LeftButton);
  EXPECT_EQ(input->text(), "Boiler Room Door Contact North AB");
  EXPECT_EQ(input->toolTip(), "Boiler Room Door Contact North AB");
  EXPECT_GT(QFontMetrics(input->font()).horizontalAdvance(input->text()), input->width());
  EXPECT_EQ(output->text(), QString::fromUtf8("Feed Pump Motor Starter Relay \u00B0C16"));
  EXPECT_EQ(output->toolTip(), QString::fromUtf8("Feed Pump Motor Starter Relay \u00B0C16"));
  EXPECT_EQ(analogue->toolTip(), "Return Water Temperature Sensor 8");

  // A hand-back from the editor puts the new names into both; one that looks like markup is
  // shown as typed, in the caption and in the tooltip.
  TEditForm editor(w.core(), w.prompts);
  editor.ShowEditor();
  editor.findChild<QLineEdit*>("InputDesignatorLabeledEdit1")->setText("<b>Pump</b> & <i>x</i>");
  editor.findChild<QLineEdit*>("AnalogueDesignatorLabeledEdit8")->setText("<h1>Level</h1>");
  // cppcheck-suppress [redundantAssignment, unreadVariable] ; the editor's Finish reads the answer
  w.prompts.saveAnswers = {SaveAnswer::No};
  QTest::mouseClick(editor.findChild<QPushButton*>("FinishButton"), Qt::LeftButton);
  for (QLabel* label : {input, analogue}) {
    const QString typed = label == input ? "<b>Pump</b> & <i>x</i>" : "<h1>Level</h1>";
    EXPECT_EQ(label->text(), typed);
    EXPECT_GE(label->sizeHint().width(), QFontMetrics(label->font()).horizontalAdvance(typed)) << typed.toStdString();
    QTextDocument shown;  // the tooltip as Qt renders it
    if (Qt::mightBeRichText(label->toolTip()))
      shown.setHtml(label->toolTip());
    else
      shown.setPlainText(label->toolTip());
    EXPECT_EQ(shown.toPlainText(), typed);
  }
  EXPECT_EQ(output->toolTip(), QString::fromUtf8("Feed Pump Motor Starter Relay \u00B0C16"));
}
