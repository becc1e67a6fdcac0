#pragma once
// What the program sets up before its window: the look and the title. The
// program entry and the benchmarks start the same way.
namespace app {

// Call once the Qt application object exists.
void PrepareApplication();

} // namespace app
