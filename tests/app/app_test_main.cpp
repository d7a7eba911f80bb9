// The desktop tests run in one QApplication, prepared as the program
// prepares its own, on Qt's offscreen platform unless another is asked for.

#include <gtest/gtest.h>

#include <QApplication>
#include <cstdlib>

#include "app/qt/application_setup.h"

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication application(argc, argv);
  PrepareApplication(application);
  return RUN_ALL_TESTS();
}
