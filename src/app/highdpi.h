#pragma once

// Makes every geometry a logical pixel: on a 2x screen the same layout at twice the size.
// Must run before the application object is created.
namespace app {
void zrvApplyHighDpi();
} // namespace app
