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

}  // namespace

void DialogWindow::Open(DialogId id, const DialogTarget& target) {
    FillDialog(GetDialogTable(id), target, state);
    open = true;
    appearing = true;
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
            // An editable drop-down: free text with the three items to pick.
            ImGui::AlignTextToFramePadding();
            ImGui::TextUnformatted(field.label);
            ImGui::SameLine(fieldColumn);
            ImGui::SetNextItemWidth(kEditWidth + 40.0f);
            if (ImGui::InputText("##text", value.text, sizeof value.text,
                                 ImGuiInputTextFlags_EnterReturnsTrue)) {
                submitted = true;
            }
            ImGui::SameLine(0.0f, 0.0f);
            if (ImGui::BeginCombo("##items", value.text, ImGuiComboFlags_NoPreview)) {
                for (const char* item : kGeneratorTexts) {
                    if (ImGui::Selectable(item, std::strcmp(item, value.text) == 0)) {
                        std::snprintf(value.text, sizeof value.text, "%s", item);
                    }
                }
                ImGui::EndCombo();
            }
            break;
        }
    }
    ImGui::PopID();
}

void DialogWindow::Accept(DialogTarget& target, SDL_Window* parent) {
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

void DialogWindow::Draw(DialogTarget& target, SDL_Window* parent) {
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

    ImGui::Separator();
    const bool cancelled = ImGui::Button("Cancel", ImVec2(90, 0)) ||
                           ImGui::IsKeyPressed(ImGui::GetKeyIndex(ImGuiKey_Escape), false);
    ImGui::SameLine();
    if (ImGui::Button("OK", ImVec2(90, 0))) submitted = true;

    if (cancelled) {
        open = false;
        ImGui::CloseCurrentPopup();
    } else if (submitted) {
        Accept(target, parent);
    }
    ImGui::EndPopup();
}
