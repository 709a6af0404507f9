// kilnrun: the process entry hands over to the runtime, which finds the
// application image and runs the App.
#include "app.h"
#include "corv.h"

int main(int argc, char **argv) {
  CORVSetImageEntry(&kilnrun::KilnrunImageEntry);
  return CORVProcessMain(argc, argv);
}
