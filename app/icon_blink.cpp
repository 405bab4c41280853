#include "app/icon_blink.h"

BlinkStep IconBlink::Start()
{
    m_running = true;
    m_cycle = 0;
    m_alert = true;
    return {BlinkStep::Icon::alert, kBlinkAlertMs};
}

BlinkStep IconBlink::OnTick()
{
    // A tick left over from a blink that has ended changes nothing.
    if (!m_running) return {BlinkStep::Icon::keep, 0};
    if (m_alert) {
        m_alert = false;
        return {BlinkStep::Icon::normal, kBlinkNormalMs};
    }
    if (++m_cycle < kBlinkCycles) {
        m_alert = true;
        return {BlinkStep::Icon::alert, kBlinkAlertMs};
    }
    // The normal icon has had its 250 ms: the blink is over.
    m_running = false;
    return {BlinkStep::Icon::keep, 0};
}
