// Painting arithmetic shared by both panes; float stays float until the truncation.
#include "views/view_math.h"

#include <cwchar>

#include "mesh/int_math.h"

int32_t OffscreenSide(int32_t clientExtent, float zoom)
{
    int32_t side = TruncateFloatToInt32(static_cast<float>(clientExtent) / zoom);
    return side >= 1 && side <= kMaxOffscreenSide ? side : 0;
}

bool OffscreenFits(int32_t width, int32_t height)
{
    return width >= 1 && height >= 1 && uint64_t(width) * uint64_t(height) <= kMaxOffscreenPixels;
}

int32_t ScaleLength(int64_t value, float zoom)
{
    return TruncateFloatToInt32(static_cast<float>(value) * zoom);
}

int32_t DotCorner(int32_t v) { return SaturateToInt32(int64_t(v) - 1); }

// The index labels and the pen of one set of curves, decided by that set's count alone.
static bool CurveLabelsShown(size_t curveCount) { return curveCount < kLabelLimit; }

static float CurvePenWidth(size_t curveCount) { return curveCount < kThinPenCount ? 3.0f : 1.0f; }

OverlayPlan PlanOverlays(size_t columnCount, size_t rowCount)
{
    OverlayPlan plan;
    plan.curves = columnCount < kOverlayCurveLimit && rowCount < kOverlayCurveLimit;
    plan.nodes = plan.curves && columnCount < kNodeDotLimit && rowCount < kNodeDotLimit;
    plan.columnLabels = plan.curves && CurveLabelsShown(columnCount);
    plan.rowLabels = plan.curves && CurveLabelsShown(rowCount);
    plan.columnPenWidth = CurvePenWidth(columnCount);
    plan.rowPenWidth = CurvePenWidth(rowCount);
    return plan;
}

std::wstring FormatZoomLabel(float zoom)
{
    // 1024 units hold the longest "%f" of a float (FLT_MAX has 39 integer digits)
    wchar_t text[1024];
    int n = std::swprintf(text, 1024, L"%f", static_cast<double>(zoom));
    return n > 0 ? std::wstring(text, size_t(n)) : std::wstring();
}

std::wstring FormatCurveIndex(size_t index)
{
    wchar_t text[1024];
    int n = std::swprintf(text, 1024, L"%d", static_cast<int>(index));
    return n > 0 ? std::wstring(text, size_t(n)) : std::wstring();
}
