#pragma once

namespace station {

// What the main menu and the options ask of the clock screen. Geometry is in twips.
class ClockScreenPort
{
public:
    virtual ~ClockScreenPort() = default;

    virtual void showClock() = 0;
    virtual void hideClock() = 0;
    virtual bool isClockVisible() const = 0;
    virtual void setPunchPanelVisible(bool visible) = 0;
    virtual void setCombinedButtonVisible(bool visible) = 0;
    // The window gets its normal, sizable border back.
    virtual void setSizableBorder() = 0;
    virtual void setWindowGeometryTwips(int left, int top, int width, int height) = 0;
    // Places the punch panel at the centre of the screen, pushed 1000 twips right and down.
    virtual void centrePunchPanel() = 0;
    virtual void setStayOnTop(bool on) = 0;
    // Another screen asks the clock screen to unload; the clock screen refuses.
    virtual void requestUnload() = 0;
};

} // namespace station
