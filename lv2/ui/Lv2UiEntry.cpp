// The window as an LV2 UI of type ui:X11UI: the descriptor, the host's features, and
// the idle callback that handles every X event and redraws, with no thread of its
// own. It talks to the plug-in only through ports: the controls' values both ways,
// the Monitor message that asks for the audio while the window is open, and the
// Block messages that bring it.
#include <lv2/options/options.h>
#include <lv2/parameters/parameters.h>
#include <lv2/ui/ui.h>
#include <lv2/urid/urid.h>

#include <chrono>
#include <cstdint>
#include <cstring>
#include <memory>

#include "Lv2Monitor.h"
#include "Lv2Ports.h"
#include "Lv2UiProbe.h"
#include "ShufflerView.h"
#include "XWindow.h"

namespace {

struct UiInstance {
    LV2UI_Write_Function write = nullptr;
    LV2UI_Controller controller = nullptr;
    const LV2UI_Touch* touch = nullptr;
    const LV2UI_Resize* resize = nullptr;
    MonitorUrids urids;
    double scale = 1.0;
    std::unique_ptr<XWindow> window;
    std::unique_ptr<ShufflerView> view;
    int laidOutWidth = 0, laidOutHeight = 0;
    ViewLayout layout;

    const ViewLayout& currentLayout() {
        if (window->width() != laidOutWidth || window->height() != laidOutHeight) {
            laidOutWidth = window->width();
            laidOutHeight = window->height();
            layout = layoutFor(laidOutWidth, laidOutHeight, scale);
        }
        return layout;
    }
    void askForAudio(bool on) {
        if (write == nullptr || !urids.mapped()) {
            return;
        }
        alignas(8) unsigned char message[kMonitorMessageBytes];
        writeMonitorMessage(message, urids, on);
        write(controller, kPortControl, kMonitorMessageBytes, urids.eventTransfer, message);
    }
};

std::uint64_t nowMs() {
    return static_cast<std::uint64_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
            .count());
}

LV2UI_Handle instantiate(const LV2UI_Descriptor*, const char*, const char*, LV2UI_Write_Function write,
                         LV2UI_Controller controller, LV2UI_Widget* widget, const LV2_Feature* const* features) {
    auto instance = std::make_unique<UiInstance>();
    instance->write = write;
    instance->controller = controller;
    unsigned long parent = 0;
    const LV2_URID_Map* map = nullptr;
    const LV2_Options_Option* options = nullptr;
    for (const LV2_Feature* const* f = features; f != nullptr && *f != nullptr; ++f) {
        const char* uri = (*f)->URI;
        if (std::strcmp(uri, LV2_UI__parent) == 0) {
            parent = reinterpret_cast<unsigned long>((*f)->data);
        } else if (std::strcmp(uri, LV2_URID__map) == 0) {
            map = static_cast<const LV2_URID_Map*>((*f)->data);
        } else if (std::strcmp(uri, LV2_UI__touch) == 0) {
            instance->touch = static_cast<const LV2UI_Touch*>((*f)->data);
        } else if (std::strcmp(uri, LV2_UI__resize) == 0) {
            instance->resize = static_cast<const LV2UI_Resize*>((*f)->data);
        } else if (std::strcmp(uri, LV2_OPTIONS__options) == 0) {
            options = static_cast<const LV2_Options_Option*>((*f)->data);
        }
    }
    instance->urids.map(map);
    // The host's scale and rate, where it gives them.
    double scale = 0.0, rateHz = 0.0;
    if (map != nullptr && options != nullptr) {
        const LV2_URID scaleKey = map->map(map->handle, LV2_UI__scaleFactor);
        const LV2_URID rateKey = map->map(map->handle, LV2_PARAMETERS__sampleRate);
        const LV2_URID floatType = map->map(map->handle, LV2_ATOM__Float);
        for (const LV2_Options_Option* o = options; o->key != 0; ++o) {
            if (o->type == floatType && o->size == sizeof(float) && o->value != nullptr) {
                float value;
                std::memcpy(&value, o->value, sizeof value);
                if (o->key == scaleKey && value > 0.0f && value <= 8.0f) {
                    scale = value;
                } else if (o->key == rateKey && value > 0.0f) {
                    rateHz = value;
                }
            }
        }
    }
    instance->window = std::make_unique<XWindow>(parent, kDefaultWidth, kDefaultHeight, kMinimumWidth, kMinimumHeight);
    if (!instance->window->valid()) {
        return nullptr;
    }
    if (scale == 0.0) {
        const double xft = instance->window->xftScale();
        scale = xft > 0.0 ? xft : 1.0;
    }
    instance->scale = scale;
    const int width = static_cast<int>(kDefaultWidth * scale), height = static_cast<int>(kDefaultHeight * scale);
    if (scale != 1.0) {
        instance->window->setMinimumSize(static_cast<int>(kMinimumWidth * scale),
                                         static_cast<int>(kMinimumHeight * scale));
        instance->window->resize(width, height);
    }
    UiInstance* self = instance.get();
    ShufflerView::Callbacks callbacks;
    callbacks.write = [self](ParameterIndex index, float value) {
        if (self->write != nullptr) {
            self->write(self->controller, kFirstControlPort + static_cast<std::uint32_t>(index), sizeof(float), 0,
                        &value);
        }
    };
    callbacks.touch = [self](ParameterIndex index, bool grabbed) {
        if (self->touch != nullptr && self->touch->touch != nullptr) {
            self->touch->touch(self->touch->handle, kFirstControlPort + static_cast<std::uint32_t>(index), grabbed);
        }
    };
    instance->view = std::make_unique<ShufflerView>(std::move(callbacks), rateHz);
    if (instance->resize != nullptr && instance->resize->ui_resize != nullptr) {
        instance->resize->ui_resize(instance->resize->handle, width, height);
    }
    instance->askForAudio(true);
    *widget = reinterpret_cast<LV2UI_Widget>(instance->window->id());
    return instance.release();
}

void cleanup(LV2UI_Handle handle) {
    auto* instance = static_cast<UiInstance*>(handle);
    instance->askForAudio(false);
    delete instance;
}

void portEvent(LV2UI_Handle handle, std::uint32_t port, std::uint32_t size, std::uint32_t format, const void* buffer) {
    auto& instance = *static_cast<UiInstance*>(handle);
    if (buffer == nullptr) {
        return;
    }
    if (format == 0 && size == sizeof(float) && port >= kFirstControlPort && port < kPortControl) {
        float value;
        std::memcpy(&value, buffer, sizeof value);
        instance.view->setPortValue(static_cast<ParameterIndex>(port - kFirstControlPort), value);
    } else if (port == kPortNotify && instance.urids.mapped() && format == instance.urids.eventTransfer &&
               size >= sizeof(LV2_Atom)) {
        LV2_Atom atom;
        std::memcpy(&atom, buffer, sizeof atom);
        if (atom.size > size - sizeof(LV2_Atom)) {
            return;
        }
        MonitorBlock block;
        if (readBlock(atom, static_cast<const unsigned char*>(buffer) + sizeof atom, instance.urids, block)) {
            instance.view->addBlock(block);
        }
    }
}

int idle(LV2UI_Handle handle) {
    auto& instance = *static_cast<UiInstance*>(handle);
    instance.window->handleEvents(
        [&instance](const PointerEvent& event) { instance.view->pointer(event, instance.currentLayout()); });
    const ShufflerView::Redraw redraw = instance.view->tick(nowMs());
    if (redraw == ShufflerView::Redraw::everything) {
        instance.window->markDirty();
    }
    const ViewLayout& layout = instance.currentLayout();
    const auto drawAll = [&](cairo_t* cr, int, int) { instance.view->draw(cr, layout); };
    if (instance.window->needsDrawing()) {
        instance.window->draw(drawAll);
    } else if (redraw == ShufflerView::Redraw::table) {
        // Twice a second while audio comes in: the table alone, not the curves.
        const Rect& area = layout.tableArea;
        instance.window->drawPart(
            area.x, area.y, area.w, area.h, [&](cairo_t* cr, int, int) { instance.view->drawTableArea(cr, layout); },
            drawAll);
    }
    return 0;
}

int resized(LV2UI_Feature_Handle handle, int width, int height) {
    static_cast<UiInstance*>(handle)->window->resize(width, height);
    return 0;
}

std::size_t bandTable(LV2UI_Handle handle, char* text, std::size_t capacity) {
    const std::string table = static_cast<UiInstance*>(handle)->view->bandTableText();
    if (text != nullptr && capacity > 0) {
        const std::size_t n = std::min(capacity - 1, table.size());
        std::memcpy(text, table.data(), n);
        text[n] = 0;
    }
    return table.size();
}

float controlValue(LV2UI_Handle handle, std::uint32_t port) {
    return static_cast<UiInstance*>(handle)->view->portValue(static_cast<ParameterIndex>(port - kFirstControlPort));
}

const void* extensionData(const char* uri) {
    static const LV2UI_Idle_Interface kIdle = {idle};
    static const LV2UI_Resize kResize = {nullptr, resized};
    static const BrevanderUiProbe kProbe = {bandTable, controlValue};
    if (std::strcmp(uri, LV2_UI__idleInterface) == 0) {
        return &kIdle;
    }
    if (std::strcmp(uri, LV2_UI__resize) == 0) {
        return &kResize;
    }
    if (std::strcmp(uri, kBrevanderUiProbeUri) == 0) {
        return &kProbe;
    }
    return nullptr;
}

const LV2UI_Descriptor kDescriptor = {kWindowUri, instantiate, cleanup, portEvent, extensionData};

}  // namespace

LV2_SYMBOL_EXPORT const LV2UI_Descriptor* lv2ui_descriptor(std::uint32_t index) {
    return index == 0 ? &kDescriptor : nullptr;
}
