// The QApplication of the skin tests and a net for Qt's warnings: a look
// that Qt cannot parse or apply shows up as a warning, which the tests treat
// as a failure.
#pragma once

#include <string>
#include <vector>

#include <QApplication>

namespace skintest {

QApplication& TestApp();

// Collects Qt warnings (and worse) while it lives.
class QtWarnings {
 public:
  QtWarnings();
  ~QtWarnings();
  std::vector<std::string> Take();
};

// Runs pending events a few times so that polishing and painting happen.
void Settle();

}  // namespace skintest
