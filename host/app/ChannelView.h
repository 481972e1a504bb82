#pragma once
// ChannelView: the 512 channel levels of one universe as a grid of cells, each with its channel
// number, its level and a bar. It listens to Universes but only schedules a repaint on a change
// of its universe: Qt merges all repaints until the next screen refresh, so a fader sending a
// thousand values a second costs one paint per frame, never one per write.

#include "host/objects/Universes.h"

#include <QWidget>

#include <memory>

namespace tarvex::host {

class ChannelView : public QWidget {
    Q_OBJECT
public:
    static constexpr int Columns = 32;
    static constexpr int Rows = Universes::ChannelCount / Columns;

    explicit ChannelView(std::shared_ptr<Universes> universes, QWidget *parent = nullptr);
    ~ChannelView() override;

    int universe() const { return m_universe; }
    void setUniverse(int universe);
    // Whether a repaint is pending since the last paint (for tests of the merging).
    bool repaintPending() const { return m_repaintPending; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void levelsChanged(uint8_t universe);
    QRect cellRect(int index) const;

    std::shared_ptr<Universes> m_universes;
    Universes::Subscription m_subscription;
    int m_universe = 1;
    bool m_repaintPending = false;
};

} // namespace tarvex::host
