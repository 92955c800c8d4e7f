#include "chart_trace.h"

#include <QChart>
#include <QValueAxis>

#include <gtest/gtest.h>

using namespace orvane;

// The curve is the same points in the same order however they were split
// between its settled and newest parts.
TEST(ChartTrace, KeepsEveryPointOnceAcrossItsTwoParts)
{
    QChart chart;
    QValueAxis x, y;
    chart.addAxis(&x, Qt::AlignBottom);
    chart.addAxis(&y, Qt::AlignLeft);
    ChartTrace trace(chart, x, y, QStringLiteral("dx"), Qt::blue);
    QList<QPointF> expected;
    for (int i = 0; i < 3 * ChartTrace::kNewestPoints + 5; ++i) {
        const QList<QPointF> step = {{double(i), double(i % 7)}, {double(i), 0}};
        trace.append(step);
        expected += step;
        ASSERT_EQ(trace.count(), expected.size()) << "after step " << i;
    }
    EXPECT_EQ(trace.points(), expected);

    trace.dropBefore(100.0);
    EXPECT_EQ(trace.points(), expected.mid(200));
    trace.append({{500, 1}});
    EXPECT_EQ(trace.points().last(), QPointF(500, 1));
    EXPECT_EQ(trace.count(), expected.size() - 200 + 1);
    trace.replace({});
    EXPECT_EQ(trace.count(), 0);
    trace.append({{1, 1}});
    EXPECT_EQ(trace.points(), QList<QPointF>({{1, 1}}));
    EXPECT_EQ(trace.name(), "dx");
}
