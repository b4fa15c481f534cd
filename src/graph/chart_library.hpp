// Start-up and shutdown of the chart layer.
//
// Charts are Qt Charts scenes, which need a QApplication. The desktop program
// has one; the batch tool creates one on the offscreen platform only when it
// is asked to plot, through ensureOffscreenChartApplication().
#pragma once

namespace tolvane {

// Opens the chart layer. False when no QApplication exists, in which case no
// chart can be made; the desktop program ends at start-up then.
bool openChartLibrary();

// Closes the chart layer. Charts still alive stay usable until destroyed.
void closeChartLibrary();

// True between openChartLibrary() and closeChartLibrary().
bool chartLibraryOpen();

// Makes sure a QApplication exists, creating one on the offscreen platform
// when there is none (it then lives until the program ends), and opens the
// chart layer. Resets LC_NUMERIC to "C" after creating the application, since
// every number the program writes uses printf formats. False when the
// application cannot be created.
bool ensureOffscreenChartApplication();

}  // namespace tolvane
