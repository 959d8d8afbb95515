#pragma once
// The window's pictures, drawn for this program and kept in the resource file.
#include <QIcon>
#include <QPixmap>

namespace cv::images {

QPixmap Tree(int index);   // ImageList1: 0..14
QPixmap Status(int index); // StatusImages: 0 start, 1 stop, 2 force
QIcon StatusIcon(int index);
QIcon ButtonIcon(int index); // the command-link buttons' larger pictures
QPixmap UpDown(int index); // UpDownImages: 0 hot closed, 1 closed, 2 hot open, 3 open
QPixmap Back();
QPixmap Warning();
QPixmap Information();
QPixmap Error();
QPixmap Help();
QPixmap Certificate();
// ImageList2: the selected web server certificate: 0 valid, 1 none selected, 2 not valid.
QPixmap CertificateState(int index);
QIcon Close();
QIcon Application();
// Makes the window's font available where the system lacks it.
void LoadWindowFonts();

} // namespace cv::images
