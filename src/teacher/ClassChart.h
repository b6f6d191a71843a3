#pragma once

#include "teacher/ClassTable.h"

#include <QFont>
#include <QPixmap>
#include <QRect>
#include <QVector>
#include <QWidget>

// The class per test at a glance: a bar for each test at the class's
// average, a dot for each learner's latest result.

class QPainter;

namespace teacher {

class ClassChart : public QWidget
{
    Q_OBJECT
public:
    explicit ClassChart(QWidget *parent = nullptr);

    void setSummaries(const QVector<TopicSummary> &summaries);
    const QVector<TopicSummary> &summaries() const { return m_summaries; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

    // Where each test's parts go at the chart's present size.
    struct TopicPlace
    {
        QRect slot;          // the test's column, its title below the plot included
        QRect bar;           // the class's average
        QVector<QRect> dots; // one per learner, as drawn
        QRect average;       // the average's label where nothing hides it; null: no room
        bool averageInBar = false;
    };
    struct Layout
    {
        QRect plot; // 0 to 100 per cent
        QVector<TopicPlace> topics;
    };
    Layout layout() const;

protected:
    void paintEvent(QPaintEvent *event) override;
    bool event(QEvent *event) override;

private:
    static QString shortTitle(const QString &topic, bool roomy);
    static QFont labelFont();
    static QRect placeAverage(const QRect &bar, const QSize &label, int top,
                              const QVector<QRect> &obstacles);
    static void paintScale(QPainter &p, const QRect &plot);
    void paintTopic(QPainter &p, const TopicSummary &s, const TopicPlace &place, const QRect &plot,
                    const QPixmap &dot);
    QPixmap dotPixmap() const;

    QVector<TopicSummary> m_summaries;
    QVector<QRect> m_barAreas; // for the tooltips, as last painted
};

} // namespace teacher
