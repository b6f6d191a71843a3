#pragma once

#include "teacher/ClassTable.h"

#include <QRect>
#include <QWidget>

// The class per test at a glance: a bar for each test at the class's
// average, a dot for each learner's latest result.

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

protected:
    void paintEvent(QPaintEvent *event) override;
    bool event(QEvent *event) override;

private:
    static QString shortTitle(const QString &topic, bool roomy);

    QVector<TopicSummary> m_summaries;
    QVector<QRect> m_barAreas; // for the tooltips, as last painted
};

} // namespace teacher
