// The binding's tests run on the thread's OLE apartment, which picture
// decoding needs, as the program does.
#include <gtest/gtest.h>

#include "window/win32/win32_handles.hpp"

int main(int argc, char** argv) {
  const qor::win32::OleApartment ole;
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
