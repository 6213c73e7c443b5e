// Window geometry is reckoned in twips (1440 per inch) like the layout rules
// are written; this is the one place that turns them into pixels and back.
#pragma once

class QWidget;
class QRect;

namespace qova::shell {

// Twips per pixel of the screen (15 at 96 dpi).
double twipsPerPixel();
// Rounded half to even, as every conversion to a whole number.
int twipsToPixels(double twips);
double pixelsToTwips(double pixels);

// A widget's geometry in twips (its frame for a window), and setters that take twips.
double heightTwips(const QWidget* w);
double widthTwips(const QWidget* w);
void setHeightTwips(QWidget* w, double twips);
void setWidthTwips(QWidget* w, double twips);
void setTopTwips(QWidget* w, double twips);
void setLeftTwips(QWidget* w, double twips);

}  // namespace qova::shell
