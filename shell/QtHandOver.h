#pragma once
// Wakes the main thread's hand-over from Qt's event loop: a pending worker call schedules
// CheckSynchronize on the application object.
namespace cv {
void InstallQtMainThreadWaker();
void RemoveQtMainThreadWaker();
} // namespace cv
