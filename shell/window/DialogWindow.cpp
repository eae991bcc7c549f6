#include "shell/window/DialogWindow.h"

#include <imgui.h>

#include <cstdio>
#include <cstring>

#include "shell/window/MessageBox.h"

namespace {

// One popup id for every dialog; the caption is only the visible part.
constexpr const char* kPopupId = "###marrowick-dialog";
constexpr float kLabelGap = 16.0f;  // between the longest label and the fields
constexpr float kEditWidth = 120.0f;
constexpr float kComboWidth = kEditWidth + 40.0f;
constexpr float kButtonWidth = 90.0f;
constexpr float kButtonColumnGap = 24.0f;  // between the fields and OK / Cancel
constexpr float kDefaultBorder = 2.0f;     // the default button's frame

}  // namespace

void DialogWindow::Open(DialogId id, const ParameterTarget& target) {
    FillDialog(GetDialogTable(id), target, state);
    open = true;
    appearing = true;
    comboListOpen = false;
    focusField = state.table->drawOrder[0];
}

void DialogWindow::DrawField(int32_t index, bool& submitted) {
    const FieldRow& field = state.table->fields[index];
    FieldState& value = state.fields[index];
    ImGui::PushID(index);
    if (focusField == index) {
        ImGui::SetKeyboardFocusHere();
        focusField = -1;
    }
    switch (field.kind) {
        case FieldKind::Int:
        case FieldKind::Real: {
            ImGui::AlignTextToFramePadding();
            ImGui::TextUnformatted(field.label);
            ImGui::SameLine(fieldColumn);
            ImGui::SetNextItemWidth(kEditWidth);
            // Enter in an edit field presses the default button, OK.
            if (ImGui::InputText("##edit", value.text, sizeof value.text,
                                 ImGuiInputTextFlags_EnterReturnsTrue |
                                     ImGuiInputTextFlags_AutoSelectAll)) {
                submitted = true;
            }
            break;
        }
        case FieldKind::Check:
            ImGui::Checkbox(field.label, &value.checked);
            break;
        case FieldKind::Combo: {
            // An editable drop-down: free text, and an arrow that shows the
            // three items right under it, inside the dialog.
            ImGui::AlignTextToFramePadding();
            ImGui::TextUnformatted(field.label);
            ImGui::SameLine(fieldColumn);
            ImGui::SetNextItemWidth(kComboWidth - ImGui::GetFrameHeight());
            if (ImGui::InputText("##text", value.text, sizeof value.text,
                                 ImGuiInputTextFlags_EnterReturnsTrue)) {
                submitted = true;
            }
            ImGui::SameLine(0.0f, 0.0f);
            if (ImGui::ArrowButton("##open", comboListOpen ? ImGuiDir_Up : ImGuiDir_Down)) {
                comboListOpen = !comboListOpen;
            }
            if (comboListOpen) DrawComboList(value);
            break;
        }
    }
    ImGui::PopID();
}

void DialogWindow::DrawComboList(FieldState& value) {
    ImGui::SetCursorPosX(fieldColumn);
    const ImVec2 size(kComboWidth, ImGui::GetTextLineHeightWithSpacing() * kGeneratorTextCount +
                                       2.0f * ImGui::GetStyle().FramePadding.y);
    if (!ImGui::BeginListBox("##items", size)) return;
    for (const char* item : kGeneratorTexts) {
        if (ImGui::Selectable(item, std::strcmp(item, value.text) == 0)) {
            std::snprintf(value.text, sizeof value.text, "%s", item);
            comboListOpen = false;
        }
    }
    ImGui::EndListBox();
}

void DialogWindow::DrawButtons(bool& submitted, bool& cancelled) {
    // OK is the default button: a heavier frame, and Enter presses it (in an
    // edit field the field reports it; elsewhere it is read here).
    ImGui::PushStyleVar(ImGuiStyleVar_FrameBorderSize, kDefaultBorder);
    if (ImGui::Button("OK", ImVec2(kButtonWidth, 0))) submitted = true;
    ImGui::PopStyleVar();
    if (ImGui::Button("Cancel", ImVec2(kButtonWidth, 0))) cancelled = true;
    if (!ImGui::IsAnyItemActive() &&
        (ImGui::IsKeyPressed(ImGui::GetKeyIndex(ImGuiKey_Enter), false) ||
         ImGui::IsKeyPressed(ImGui::GetKeyIndex(ImGuiKey_KeyPadEnter), false))) {
        submitted = true;
    }
    if (ImGui::IsKeyPressed(ImGui::GetKeyIndex(ImGuiKey_Escape), false)) cancelled = true;
}

void DialogWindow::Accept(ParameterTarget& target, SDL_Window* parent) {
    DialogCheck check = AcceptDialog(state, target);
    if (check.ok) {
        open = false;
        ImGui::CloseCurrentPopup();
        return;
    }
    // Range failures focus their field; the validating dialogs' warnings run
    // the dialog again with the values just entered.
    ShowMessage(check.message, MessageKind::Warning, parent);
    focusField = check.failingField >= 0 ? check.failingField : state.table->drawOrder[0];
}

void DialogWindow::Draw(ParameterTarget& target, SDL_Window* parent) {
    if (!open) return;
    const DialogTable& table = *state.table;
    char title[128];
    std::snprintf(title, sizeof title, "%s%s", table.caption, kPopupId);
    if (appearing) {
        ImGui::OpenPopup(title);
        appearing = false;
        const ImVec2 centre = ImGui::GetMainViewport()->GetCenter();
        ImGui::SetNextWindowPos(centre, ImGuiCond_Appearing, ImVec2(0.5f, 0.5f));
    }
    if (!ImGui::BeginPopupModal(title, nullptr, ImGuiWindowFlags_AlwaysAutoResize)) {
        open = false;  // closed behind our back
        return;
    }

    // The fields line up right of the longest label of this dialog.
    fieldColumn = 0.0f;
    for (int32_t i = 0; i < table.fieldCount; ++i) {
        if (table.fields[i].kind == FieldKind::Check) continue;
        const float width = ImGui::CalcTextSize(table.fields[i].label).x;
        if (width > fieldColumn) fieldColumn = width;
    }
    fieldColumn += ImGui::GetStyle().WindowPadding.x + kLabelGap;

    bool submitted = false;
    bool cancelled = false;
    // Two columns: the fields, then OK and Cancel at the top right.
    if (ImGui::BeginTable("##layout", 2, ImGuiTableFlags_SizingFixedFit)) {
        ImGui::TableSetupColumn("##fields");
        ImGui::TableSetupColumn("##buttons", ImGuiTableColumnFlags_None,
                                kButtonWidth + kButtonColumnGap);
        ImGui::TableNextColumn();
        const char* group = nullptr;
        int32_t inRow = 0;
        for (int32_t n = 0; n < table.fieldCount; ++n) {
            const int32_t index = table.drawOrder[n];
            const FieldRow& field = table.fields[index];
            if (field.group != group) {
                group = field.group;
                inRow = 0;
                if (group != nullptr) {
                    ImGui::Separator();
                    ImGui::TextUnformatted(group);
                }
            }
            // A row of check boxes under its caption (the rule boxes).
            if (field.kind == FieldKind::Check && group != nullptr && inRow > 0) {
                ImGui::SameLine();
            }
            ++inRow;
            DrawField(index, submitted);
        }
        ImGui::TableNextColumn();
        ImGui::Indent(kButtonColumnGap);
        DrawButtons(submitted, cancelled);
        ImGui::Unindent(kButtonColumnGap);
        ImGui::EndTable();
    }

    if (cancelled) {
        open = false;
        ImGui::CloseCurrentPopup();
    } else if (submitted) {
        Accept(target, parent);
    }
    ImGui::EndPopup();
}
