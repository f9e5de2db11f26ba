#pragma once

#include <QRect>
#include <string_view>

namespace qarvel::ui {

// Where the exam window's panels, pictures, buttons and two text views stand:
// the control's object name, its parent's and its rectangle in the parent.
struct ControlPlace {
    const char* name;
    const char* parent;
    QRect rect;
};

inline constexpr ControlPlace kExamPlaces[] = {
    {"Panel4", "Form1", {0, 0, 921, 32}},        // the title strip
    {"Image3", "Panel4", {22, 0, 32, 32}},       // the program's icon
    {"Panel3", "Panel4", {854, 6, 51, 21}},      // the pictures' panel
    {"Image2", "Panel3", {2, 3, 21, 17}},        // minimise
    {"Image1", "Panel3", {24, 3, 21, 17}},       // close
    {"Panel1", "Form1", {11, 33, 897, 593}},     // the exam area
    {"Pap1", "Panel1", {755, 6, 60, 20}},        // 暂停
    {"Pap2", "Panel1", {819, 6, 60, 20}},        // 继续
    {"Panel2", "Panel1", {16, 32, 865, 33}},     // the counter strip
    {"RichEdit1", "Panel1", {16, 64, 865, 225}}, // the source view
    {"Memo1", "Panel1", {16, 296, 865, 281}},    // the answer box
};

// The rectangle of the control named `name` in kExamPlaces; a name not there
// does not compile.
consteval QRect PlaceOf(std::string_view name) {
    for (const ControlPlace& place : kExamPlaces) {
        if (name == place.name) {
            return place.rect;
        }
    }
    throw "a control without a place";
}

} // namespace qarvel::ui
