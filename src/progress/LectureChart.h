#pragma once

#include "progress/LectureProgress.h"

#include <QWidget>

namespace progress {

// One small bar per lecture: grey until opened, filled to the best test
// result, green once the test is passed.
class LectureChart : public QWidget
{
    Q_OBJECT
public:
    explicit LectureChart(QWidget *parent = nullptr);

    void setProgress(const QVector<progress::LectureProgress> &lectures);
    const QVector<progress::LectureProgress> &lectures() const { return m_lectures; }

    // What a screen reader says of one lecture.
    static QString describe(const progress::LectureProgress &p);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QVector<progress::LectureProgress> m_lectures;
};

} // namespace progress
