// bare_panel: a bare Qt program of the panel's shape, the yardstick for the panel's running
// figures. A window of the main window's size with as many child widgets, and a 50 ms precise
// timer that takes at most one datagram a tick from a UDP socket on 127.0.0.1, polls the unit
// at the panel's cadence and answers a report of type U with an acknowledgement, so a driver
// treats it as it treats the panel. Nothing else: no alarms, log, display updates, sound or
// editor window.
// Usage: bare_panel PORT   (the unit at 127.0.0.1:PORT)
#include "bench/PanelShape.h"

#include <QApplication>
#include <QFrame>
#include <QHostAddress>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QUdpSocket>
#include <QWidget>

#include <csignal>
#include <cstdio>
#include <cstdlib>

namespace {
constexpr char Poll[] = "KELDRON,U****************";
constexpr char Ack[] = "KELDRON,C,S,****************";
constexpr int TicksUpBetweenPolls = 20 * 20;  // the default poll interval of 20 s while the link is up
constexpr int TicksDownBetweenPolls = 20;
constexpr int LinkTicks = 10 * 20;  // the default link time-out of 10 s

QFrame* Frame(QWidget* parent, QRect geometry) {
  auto* frame = new QFrame(parent);
  frame->setFrameShape(QFrame::StyledPanel);
  frame->setGeometry(geometry);
  return frame;
}

QWidget* Plain(QWidget* parent, QRect geometry) {
  auto* widget = new QWidget(parent);
  widget->setGeometry(geometry);
  return widget;
}

// The main window's controls at their places, as stock widgets with the captions it starts with.
void BuildWidgets(QWidget& window) {
  QFrame* buttons = Frame(&window, {0, 434, 899, 83});
  const int lefts[] = {88, 216, 624, 749};
  const char* const captions[] = {"Load", "Edit", "Help", "Exit"};
  for (int i = 0; i < 4; ++i) (new QPushButton(captions[i], buttons))->setGeometry(lefts[i], 32, 75, 25);
  QFrame* link = Frame(&window, {0, 356, 899, 78});
  (new QPushButton("Disconnect", link))->setGeometry(96, 32, 75, 25);
  (new QLabel("Not Connected", link))->setGeometry(224, 36, 82, 13);
  Plain(link, {312, 32, 24, 24});
  QFrame* inputs = Frame(&window, {1, 1, 320, 350});
  QFrame* outputs = Frame(&window, {321, 1, 275, 350});
  for (int i = 0; i < 16; ++i) {
    const int top = 13 + 43 * (i % 8);
    (new QLabel(QStringLiteral("Input %1").arg(i + 1), inputs))->setGeometry(i < 8 ? 20 : 180, top, 80, 24);
    Plain(inputs, {i < 8 ? 106 : 266, top, 24, 24});
    (new QPushButton(QStringLiteral("Output %1").arg(i + 1), outputs))->setGeometry(i < 8 ? 16 : 160, top, 97, 24);
  }
  for (int i = 0; i < 8; ++i) {
    QFrame* analogue = Frame(&window, {600 + 75 * (i % 4), i < 4 ? 1 : 176, 75, 175});
    (new QLabel("N/A", analogue))->setGeometry(1, 6, 73, 18);
    Plain(analogue, {24, 32, 27, 108});
    (new QLabel(QStringLiteral("Analogue %1").arg(i + 1), analogue))->setGeometry(1, 143, 73, 31);
  }
}
}  // namespace

int main(int argc, char** argv) {
  const int port = argc == 2 ? std::atoi(argv[1]) : 0;
  if (port < 1 || port > 65535) {
    std::fprintf(stderr, "usage: bare_panel PORT   (the unit at 127.0.0.1:PORT)\n");
    return 2;
  }
  QApplication application(argc, argv);
  for (const int s : {SIGTERM, SIGINT}) std::signal(s, [](int) { std::_Exit(0); });

  QWidget window;
  window.setFixedSize(PanelWindowWidth, PanelWindowHeight);
  BuildWidgets(window);
  if (window.findChildren<QWidget*>().size() != PanelWindowWidgets) {
    std::fprintf(stderr, "bare_panel: %lld widgets, the panel has %d\n",
                 static_cast<long long>(window.findChildren<QWidget*>().size()), PanelWindowWidgets);
    return 2;
  }

  QUdpSocket socket;
  if (!socket.bind(QHostAddress::LocalHost, 0)) return 1;
  const QHostAddress unit(QHostAddress::LocalHost);
  int pollCountdown = 1;  // as after Connect: the first poll at the second tick
  int linkCountdown = 0;
  bool linkUp = false;
  QTimer timer;
  timer.setTimerType(Qt::PreciseTimer);
  timer.setInterval(50);
  QObject::connect(&timer, &QTimer::timeout, [&] {
    if (socket.hasPendingDatagrams()) {
      char text[512];
      const qint64 size = socket.readDatagram(text, sizeof text);
      const QByteArray report(text, static_cast<qsizetype>(size > 0 ? size : 0));
      if (report.startsWith("KELDRON,")) {
        if (report.startsWith("KELDRON,U")) socket.writeDatagram(Ack, sizeof Ack - 1, unit, static_cast<quint16>(port));
        linkCountdown = LinkTicks;
      }
    }
    if (pollCountdown != 0) {
      --pollCountdown;
    } else {
      pollCountdown = linkUp ? TicksUpBetweenPolls : TicksDownBetweenPolls;
      socket.writeDatagram(Poll, sizeof Poll - 1, unit, static_cast<quint16>(port));
    }
    linkUp = linkCountdown != 0;
    if (linkCountdown != 0) --linkCountdown;
  });
  timer.start();
  window.show();
  return QApplication::exec();
}
