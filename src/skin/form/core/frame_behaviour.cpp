#include "skin/form/core/frame_behaviour.h"

#include <algorithm>

namespace skin {

bool LayeredVersionUsable(int major, int minor) {
    return major == 5 && minor >= 0 && minor <= 2;
}

TFadePlan PlanFade(bool alpha_blend, bool animation, int value) {
    TFadePlan plan;
    if (!alpha_blend && !animation) {
        return plan;
    }
    value = std::clamp(value, 0, 255);
    plan.layered_on_show = true;
    const int target = animation && !alpha_blend ? 255 : value;
    if (animation) {
        for (int opacity = 5;; opacity += 5) {
            plan.opacities.push_back(std::min(opacity, target));
            if (opacity >= target) {
                break;
            }
        }
    } else if (target != 255) {
        plan.opacities.push_back(value);
    }
    plan.unlayer_at_end = target == 255;
    return plan;
}

TRect SnapToArea(const TRect& proposed, const TRect& area, int m) {
    const int w = proposed.Width();
    const int h = proposed.Height();
    int x = proposed.left;
    int y = proposed.top;
    if (area.left - m < x && x < area.left + m) {
        x = area.left;
    }
    if (area.top - m < y && y < area.top + m) {
        y = area.top;
    }
    if (area.right - m < x + w && x + w < area.right + m) {
        x = area.right - w;
    }
    if (area.bottom - m < y + h && y + h < area.bottom + m) {
        y = area.bottom - h;
    }
    return TRect::Bounds(x, y, w, h);
}

TRect MaximizeTarget(const TRect& monitor, const TRect& work_area, const TRect& screen,
                     bool full_screen) {
    if (full_screen) {
        return monitor;
    }
    if (work_area.Width() == monitor.Width() && work_area.Height() == monitor.Height() &&
        monitor == screen) {
        return TRect{work_area.left + 1, work_area.top + 1, work_area.right - 1,
                     work_area.bottom - 1};
    }
    return work_area;
}

TPoint ParkingSlot(const TRect& area, int min_width, int min_height,
                   const std::vector<TPoint>& taken) {
    // A minimum of no size still gives cells, so the search ends.
    const int w = std::max(min_width, 1);
    const int h = std::max(min_height, 1);
    const TPoint first{area.left, area.bottom - h};
    for (int y = area.bottom - h; y >= area.top; y -= h) {
        for (int x = area.left; x + w <= area.right; x += w) {
            const TPoint cell{x, y};
            if (std::find(taken.begin(), taken.end(), cell) == taken.end()) {
                return cell;
            }
        }
    }
    return first;
}

THintLayout LayoutHint(int text_width, int text_height, const THintPicture* picture) {
    THintLayout l;
    text_width = std::max(text_width, 0);
    text_height = std::max(text_height, 0);
    if (picture == nullptr) {
        l.width = text_width + 8;
        l.height = text_height + 4;
        l.to.client = TRect{4, 2, l.width - 4, l.height - 2};
        return l;
    }
    const THintPicture& p = *picture;
    // The picture's frame around its client rectangle stays around the text.
    const int frame_width = p.width - p.client.Width();
    const int frame_height = p.height - p.client.Height();
    const int corners_width = p.left_top.x + (p.width - p.right_top.x);
    const int corners_height = p.left_top.y + (p.height - p.left_bottom.y);
    l.width = std::max(text_width + frame_width, corners_width);
    l.height = std::max(text_height + frame_height, corners_height);
    const int dx = l.width - p.width;
    const int dy = l.height - p.height;
    l.from = TPartGeometry{p.left_top, p.right_top, p.left_bottom, p.right_bottom, p.client};
    l.to = TPartGeometry{
        p.left_top, TPoint{p.right_top.x + dx, p.right_top.y},
        TPoint{p.left_bottom.x, p.left_bottom.y + dy},
        TPoint{p.right_bottom.x + dx, p.right_bottom.y + dy},
        TRect{p.client.left, p.client.top, p.client.right + dx, p.client.bottom + dy}};
    return l;
}

TPoint PlaceHint(TPoint cursor, int cursor_height, int width, int height, const TRect& area) {
    TPoint at{cursor.x, cursor.y + cursor_height};
    if (at.y + height > area.bottom) {
        at.y = cursor.y - height;
    }
    // Inside the area; a hint larger than the area keeps its left-top in.
    at.x = std::max(std::min(at.x, area.right - width), area.left);
    at.y = std::max(std::min(at.y, area.bottom - height), area.top);
    return at;
}

TFrameStates::TChange TFrameStates::SetState(TFrameWindowState state, bool main_form,
                                             const TRect& current, const TRect& target, TPoint slot,
                                             TPoint min_size) {
    TChange change;
    if (state == state_) {
        return change;
    }
    change.changed = true;
    switch (state) {
        case fwsMinimized:
            if (main_form) {
                change.minimize_application = true;
                return change;  // the state stays: the program is minimized
            }
            if (remembered_.IsEmpty()) {
                remembered_ = current;
            }
            change.set_bounds = true;
            change.bounds = TRect::Bounds(slot.x, slot.y, min_size.x, min_size.y);
            break;
        case fwsMaximized:
            if (remembered_.IsEmpty()) {
                remembered_ = current;
            }
            change.set_bounds = true;
            change.bounds = target;
            break;
        case fwsNormal:
            // Rolled up while maximized, the window comes back at its size
            // from before maximizing: no longer rolled up.
            if (rolledUpMaximized_) {
                rolledUp_ = false;
            }
            rolledUpMaximized_ = false;
            change.set_bounds = !remembered_.IsEmpty();
            change.bounds = remembered_;
            remembered_ = TRect{};
            break;
    }
    state_ = state;
    return change;
}

bool TFrameStates::RollUp(bool up, TbsBorderIcons icons, int current_height, int rolled_height,
                          int* height) {
    if ((icons & bsbiRollUp) == 0 || state_ == fwsMinimized ||
        (rolledUp_ && state_ == fwsMaximized && !rolledUpMaximized_) || up == rolledUp_) {
        return false;
    }
    if (state_ == fwsMaximized) {
        rolledUpMaximized_ = up;
    }
    rolledUp_ = up;
    if (up) {
        rememberedHeight_ = current_height;
        *height = rolled_height;
    } else {
        *height = rememberedHeight_;
    }
    return true;
}

TCaptionDoubleClick TFrameStates::DoubleClick(bool sizeable, TbsBorderIcons icons) const {
    if (sizeable && state_ == fwsMinimized) {
        return cdcRestore;
    }
    if (sizeable && state_ != fwsMaximized && !rolledUp_ && (icons & bsbiMaximize) != 0) {
        return cdcMaximize;
    }
    if (sizeable && state_ == fwsMaximized && !rolledUpMaximized_) {
        return cdcRestore;
    }
    if ((icons & bsbiRollUp) == 0 || state_ == fwsMinimized) {
        return cdcNothing;
    }
    return rolledUp_ ? cdcRollDown : cdcRollUp;
}

}  // namespace skin
