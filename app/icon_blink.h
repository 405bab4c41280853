// The blink of the tray icon after a change and at the end of a first pass:
// five cycles of the alert icon for 750 ms and the normal icon for 250 ms,
// ending on the normal icon. A timer of its own drives it, one step a tick,
// so the menu and every command keep working meanwhile. Platform-free.
#pragma once

constexpr int kBlinkTimerId = 2;
constexpr int kBlinkCycles = 5;
constexpr unsigned kBlinkAlertMs = 750;
constexpr unsigned kBlinkNormalMs = 250;

// What one step asks of the window: the icon to show now, and how long
// until the next step (0: the blink is over, kill the timer).
struct BlinkStep {
    enum class Icon { keep, alert, normal };
    Icon icon;
    unsigned nextMs;
};

class IconBlink
{
  public:
    // Starts the blink, or starts it again from its first cycle.
    BlinkStep Start();
    // The blink timer fired.
    BlinkStep OnTick();
    bool running() const { return m_running; }

  private:
    int m_cycle = 0;
    bool m_alert = false; // the alert icon is shown
    bool m_running = false;
};
