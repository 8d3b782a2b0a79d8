// SPDX-License-Identifier: Apache-2.0
#include "xRefreshRate.h"

#include <cmath>

namespace Kr::gfx {

namespace {

const XRRModeInfo* findMode(const XRRScreenResources& resources, RRMode id) {
    for (int i = 0; i < resources.nmode; ++i) {
        if (resources.modes[i].id == id) {
            return &resources.modes[i];
        }
    }
    return nullptr;
}

RRMode modeOfCrtc(Display* display, XRRScreenResources* resources, RRCrtc crtc) {
    XRRCrtcInfo* info = XRRGetCrtcInfo(display, resources, crtc);
    if (!info) {
        return None;
    }
    const RRMode mode = info->mode;
    XRRFreeCrtcInfo(info);
    return mode;
}

RRCrtc crtcOfOutput(Display* display, XRRScreenResources* resources, RROutput output) {
    XRROutputInfo* info = XRRGetOutputInfo(display, resources, output);
    if (!info) {
        return None;
    }
    const RRCrtc crtc = info->crtc;
    XRRFreeOutputInfo(info);
    return crtc;
}

// The mode on the primary output's CRTC if there is one, else on the first CRTC showing a mode.
RRMode currentMode(Display* display, Window root, XRRScreenResources* resources) {
    if (const RROutput primary = XRRGetOutputPrimary(display, root)) {
        if (const RRCrtc crtc = crtcOfOutput(display, resources, primary)) {
            if (const RRMode mode = modeOfCrtc(display, resources, crtc)) {
                return mode;
            }
        }
    }
    for (int i = 0; i < resources->ncrtc; ++i) {
        if (const RRMode mode = modeOfCrtc(display, resources, resources->crtcs[i])) {
            return mode;
        }
    }
    return None;
}

} // namespace

double modeRefreshRate(const XRRModeInfo& mode) {
    if (mode.dotClock == 0 || mode.hTotal == 0 || mode.vTotal == 0) {
        return 0;
    }
    double rate = static_cast<double>(mode.dotClock) / (static_cast<double>(mode.hTotal) * mode.vTotal);
    if (mode.modeFlags & RR_DoubleScan) {
        rate /= 2;
    }
    if (mode.modeFlags & RR_Interlace) {
        rate *= 2;
    }
    return std::round(rate * 100) / 100;
}

double screenRefreshRate(Display* display, int screen) {
    int eventBase = 0;
    int errorBase = 0;
    int major = 0;
    int minor = 0;
    if (!XRRQueryExtension(display, &eventBase, &errorBase) || !XRRQueryVersion(display, &major, &minor)) {
        return 0;
    }
    const Window root = RootWindow(display, screen);
    double rate = 0;
    if (major > 1 || minor >= 3) {
        if (XRRScreenResources* resources = XRRGetScreenResourcesCurrent(display, root)) {
            if (const XRRModeInfo* mode = findMode(*resources, currentMode(display, root, resources))) {
                rate = modeRefreshRate(*mode);
            }
            XRRFreeScreenResources(resources);
        }
    }
    // Servers without mode timings (Xvfb, older RandR) may still know the rate as a whole number.
    if (rate == 0) {
        if (XRRScreenConfiguration* configuration = XRRGetScreenInfo(display, root)) {
            rate = XRRConfigCurrentRate(configuration);
            XRRFreeScreenConfigInfo(configuration);
        }
    }
    return rate;
}

} // namespace Kr::gfx
