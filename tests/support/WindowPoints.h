// The points of the main window that the scripts look at or click, and the window-title test
// clicks too: scripts/lib/window-points.txt, one owner for all of them.
#pragma once

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

struct WindowPoint {
  std::string name;  // the control's object name
  int x = -1;        // window coordinates from its top left corner; -1 on a line not read
  int y = -1;
};

// Every point in the file's order; an empty list when the file cannot be read.
inline std::vector<WindowPoint> ReadWindowPoints() {
  std::vector<WindowPoint> points;
  std::ifstream file(QMX_WINDOW_POINTS);
  for (std::string line; std::getline(file, line);) {
    if (line.empty() || line.front() == '#') continue;
    std::istringstream fields(line);
    WindowPoint point;
    fields >> point.name >> point.x >> point.y;
    points.push_back(point);
  }
  return points;
}
