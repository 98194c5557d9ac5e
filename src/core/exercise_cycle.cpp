// The exercise cycle: each exercise's waiting timer counts 10-second ticks up to its
// frequency and places its animation at the right end of the row; its display timer keeps it
// visible for Timing ticks of 300 ms, then the row is packed again.
#include "core/form1.h"
#include "core/module1.h"
#include "platform/int16.h"

using namespace Module1;

void Form1::Timer1_Timer(int i) {
    ResizeByUser = false;
    // Zero or negative settings: never shown (a negative Timing would never end a display).
    if (!IsExerciseActive(i))
        return;
    if (Timer2(i).isEnabled())
        return;
    LoadAnimations();
    // A due exercise waiting behind three displays keeps counting; it must not overflow.
    WaitTicks[i] = Int16::IncrementSaturating(WaitTicks[i]);
    if (WaitTicks[i] < ExerciseFrequency[i])
        return;
    if (m_shownCount >= 3)
        return; // due: placed at the first waiting tick with room in the row
    AniGifPlayer& player = AniGif(i);
    player.SetTop(0);
    player.SetLeft(m_contentWidth);
    m_contentWidth = Int16::FromDouble(m_contentWidth + player.Width());
    SetWidth(m_contentWidth);
    WaitTicks[i] = 0;
    ShowTicks[i] = 0;
    Timer2(i).setEnabled(true);
    m_shownCount = Int16::Add(m_shownCount, 1);
    announceExercise(i);
    ResizeByUser = true;
}

void Form1::Timer2_Timer(int i) {
    ResizeByUser = false;
    // "Less than" rather than "not equal": a Timing lowered (or zeroed) in the configuration
    // during a display still ends it.
    if (ShowTicks[i] < ExerciseTiming[i]) {
        AniGif(i).SetVisible(true);
        ShowTicks[i] = Int16::IncrementSaturating(ShowTicks[i]);
        ResizeByUser = true;
        return;
    }
    EndDisplays({i});
}

std::vector<int> Form1::DisplaysInProgress() {
    std::vector<int> shown;
    for (int i = 0; i < ExerciseCount; ++i)
        if (Timer2(i).isEnabled())
            shown.push_back(i);
    return shown;
}

void Form1::EndDisplays(const std::vector<int>& exercises) {
    if (exercises.empty())
        return;
    ResizeByUser = false;
    for (int i : exercises) {
        ShowTicks[i] = 0;
        Timer2(i).setEnabled(false);
    }
    LayOutRow();
    m_shownCount = Int16::Add(m_shownCount, -int(exercises.size()));
    SetWidth(m_contentWidth);
    ResizeByUser = true;
}

void Form1::LayOutRow() {
    m_contentWidth = Int16::FromDouble(m_image2Width);
    for (int j = 0; j < ExerciseCount; ++j) {
        AniGifPlayer& player = AniGif(j);
        if (Timer2(j).isEnabled()) {
            player.SetTop(0);
            player.SetLeft(m_contentWidth);
            player.SetVisible(true);
            m_contentWidth = Int16::FromDouble(m_contentWidth + player.Width());
        } else {
            player.SetVisible(false);
        }
    }
}
