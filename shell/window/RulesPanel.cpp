#include "shell/window/RulesPanel.h"

#include <imgui.h>

#include <cstdio>
#include <cstring>
#include <mutex>

#include "simulation/Simulation.h"

namespace {

const ImVec4 kGood(0.10f, 0.50f, 0.10f, 1.0f);
const ImVec4 kBad(0.75f, 0.05f, 0.05f, 1.0f);
const ImVec4 kWarn(0.70f, 0.40f, 0.00f, 1.0f);
const ImVec4 kQuiet(0.40f, 0.40f, 0.40f, 1.0f);

// The strip's short forms: levels keep their word, trends become up, =, down.
const char* Short(const char* word) {
    if (word == nullptr) return "?";
    if (std::strcmp(word, "increasing") == 0) return "up";
    if (std::strcmp(word, "decreasing") == 0) return "down";
    if (std::strcmp(word, "stable") == 0) return "stable";
    if (std::strcmp(word, "normal") == 0) return "normal";
    return word;
}

const char* ShortConclusion(Conclusion conclusion) {
    switch (conclusion) {
        case Conclusion::RaisePopulation: return "+pop";
        case Conclusion::RaiseFoodIntake: return "+food";
        case Conclusion::LowerPopulation: return "-pop";
        case Conclusion::LowerFoodIntake: return "-food";
        case Conclusion::OverUsingFood: return "over";
        case Conclusion::UseEveryoneForFood: return "all";
    }
    return "?";
}

constexpr const char* kStripHeads[kSymbolCount] = {"supply", "trend", "reserves",
                                                   "pop.",   "trend", "gath."};

}  // namespace

void RulesPanel::TakeSnapshot(const Simulation& simulation) {
    std::lock_guard<std::mutex> lock(simulation.stateMutex);
    const ExpertSystem& expert = simulation.expertSystem;
    journal = expert.journal;
    state = expert.State();
    reloadFailed = expert.reloadFailed;
    reloads = expert.reloads;
    std::snprintf(loadProblem, sizeof loadProblem, "%s", expert.loadProblem);
    std::snprintf(rulesName, sizeof rulesName, "%s", expert.ruleBaseName);
    // A rule base held in memory is a shipped one (or the built-in rules).
    std::snprintf(rulesPath, sizeof rulesPath, "%s",
                  expert.ruleBaseText != nullptr ? "built in" : expert.engine.RulesPath());
}

void RulesPanel::Draw(const Simulation& simulation, float top) {
    if (!visible) return;
    TakeSnapshot(simulation);
    const ImVec2 display = ImGui::GetIO().DisplaySize;
    ImGui::SetNextWindowPos(ImVec2(display.x - kWidth - kMargin, top + kMargin), ImGuiCond_Always);
    ImGui::SetNextWindowSize(ImVec2(kWidth, 0.0f), ImGuiCond_Always);
    ImGui::SetNextWindowBgAlpha(0.90f);
    const ImGuiWindowFlags flags = ImGuiWindowFlags_NoMove | ImGuiWindowFlags_NoResize |
                                   ImGuiWindowFlags_NoCollapse |
                                   ImGuiWindowFlags_NoSavedSettings |
                                   ImGuiWindowFlags_NoFocusOnAppearing;
    if (ImGui::Begin(kTitle, &visible, flags)) {
        DrawState();
        ImGui::Separator();
        DrawLastPass();
        ImGui::Separator();
        DrawStrip();
    }
    ImGui::End();
}

void RulesPanel::DrawState() const {
    ImGui::Text("Rule base: %s (%s)", rulesName, rulesPath);
    switch (state) {
        case RuleBaseState::Loaded:
            ImGui::TextColored(kGood, "Loaded%s", reloads > 0 ? " (reloaded)" : "");
            ImGui::SameLine();
            ImGui::TextColored(kQuiet, "  F5 reloads it");
            break;
        case RuleBaseState::Failed:
            ImGui::TextColored(kBad, "Failed to load (F5 reloads the file):");
            ImGui::PushTextWrapPos(0.0f);
            ImGui::TextUnformatted(loadProblem);
            ImGui::PopTextWrapPos();
            break;
        case RuleBaseState::CutOff:
            ImGui::TextColored(kWarn, "Cut off: the last pass was still at work after %lld units",
                               static_cast<long long>(kPassWorkBudget));
            break;
        case RuleBaseState::Off:
            ImGui::TextColored(kQuiet, "Switched off (Ctrl+O switches it on)");
            break;
    }
    if (reloadFailed && state != RuleBaseState::Failed) {
        ImGui::PushTextWrapPos(0.0f);
        ImGui::TextColored(kBad, "Reload failed: %s", loadProblem);
        ImGui::TextColored(kQuiet, "The rules loaded before keep running.");
        ImGui::PopTextWrapPos();
    }
}

void RulesPanel::DrawLastPass() const {
    if (journal.passes == 0) {
        ImGui::TextUnformatted("No pass yet");
        return;
    }
    const PassRecord& last = journal.Back(0);
    ImGui::Text("Last pass: step %lld", static_cast<long long>(last.step));
    if (ImGui::BeginTable("symbols", 3, ImGuiTableFlags_SizingFixedFit)) {
        for (size_t s = 0; s < kSymbolCount; s += 2) {
            ImGui::TableNextRow();
            for (size_t k = s; k < s + 2 && k < kSymbolCount; ++k) {
                ImGui::TableNextColumn();
                ImGui::Text("%s = %s", kSymbolSlots[k], last.symbols[k] != nullptr ? last.symbols[k] : "?");
            }
        }
        ImGui::EndTable();
    }
    ImGui::PushTextWrapPos(0.0f);
    if (!last.traced) {
        ImGui::TextColored(kQuiet, "Fired: (not traced)");
    } else if (last.firings == 0) {
        ImGui::TextUnformatted("Fired: none");
    } else {
        ImGui::Text("Fired (%d): %s%s", last.firings, last.fired.text,
                    last.fired.overflow ? " ..." : "");
    }
    ImGui::TextColored(kQuiet, "Work: %lld of %lld units", static_cast<long long>(last.work),
                       static_cast<long long>(kPassWorkBudget));
    if (last.outcome == PassOutcome::CutOff) {
        ImGui::TextColored(kWarn, "Cut off: nothing acted");
    } else if (last.outcome == PassOutcome::TooManyConclusions) {
        ImGui::TextColored(kWarn, "Too many conclusions: nothing acted");
    } else if (last.outcome == PassOutcome::EngineFailed) {
        ImGui::TextColored(kBad, "The engine failed: nothing acted");
    } else if (last.conclusionCount == 0) {
        ImGui::TextUnformatted("Conclusions: none");
    } else {
        char text[512] = {};
        size_t used = 0;
        for (int32_t i = 0; i < last.KeptConclusions() && used < sizeof text; ++i) {
            const int n = std::snprintf(text + used, sizeof text - used, "%s%s", i > 0 ? ", " : "",
                                        ConclusionName(last.conclusions[i]));
            if (n > 0) used += static_cast<size_t>(n);
        }
        ImGui::Text("Conclusions: %s", text);
    }
    ImGui::PopTextWrapPos();
    // The shares two to a row: name, before -> after (green up, red down).
    if (ImGui::BeginTable("shares", 8, ImGuiTableFlags_SizingFixedFit)) {
        const struct {
            const char* name;
            float before;
            float after;
        } rows[] = {{"gathering", last.before.gathering, last.after.gathering},
                    {"meandering", last.before.meandering, last.after.meandering},
                    {"wandering", last.before.wandering, last.after.wandering},
                    {"reproducing", last.before.reproducing, last.after.reproducing}};
        for (size_t i = 0; i < 4; ++i) {
            const auto& row = rows[i];
            if (i % 2 == 0) ImGui::TableNextRow();
            ImGui::TableNextColumn();
            ImGui::Text("%s", row.name);
            ImGui::TableNextColumn();
            ImGui::Text("%6.2f", static_cast<double>(row.before));
            ImGui::TableNextColumn();
            ImGui::TextUnformatted("->");
            ImGui::TableNextColumn();
            const float change = row.after - row.before;
            const ImVec4 colour = change > 0.005f ? kGood : change < -0.005f ? kBad : kQuiet;
            ImGui::TextColored(colour, "%6.2f", static_cast<double>(row.after));
        }
        ImGui::EndTable();
    }
}

void RulesPanel::DrawStrip() const {
    const size_t kept = journal.Kept();
    ImGui::Text("Last %zu passes, newest first (+/- raises/lowers pop. or food intake)", kept);
    if (kept == 0) return;
    if (!ImGui::BeginTable("strip", 8, ImGuiTableFlags_SizingFixedFit | ImGuiTableFlags_RowBg)) {
        return;
    }
    ImGui::TableSetupColumn("step");
    for (const char* head : kStripHeads) ImGui::TableSetupColumn(head);
    ImGui::TableSetupColumn("conclusions");
    ImGui::TableHeadersRow();
    for (size_t age = 0; age < kept; ++age) {
        const PassRecord& record = journal.Back(age);
        ImGui::TableNextRow();
        ImGui::TableNextColumn();
        ImGui::Text("%lld", static_cast<long long>(record.step));
        for (size_t s = 0; s < kSymbolCount; ++s) {
            ImGui::TableNextColumn();
            ImGui::TextUnformatted(Short(record.symbols[s]));
        }
        ImGui::TableNextColumn();
        if (record.outcome == PassOutcome::CutOff) {
            ImGui::TextColored(kWarn, "cut off");
        } else if (record.outcome == PassOutcome::TooManyConclusions) {
            ImGui::TextColored(kWarn, "too many");
        } else if (record.outcome == PassOutcome::EngineFailed) {
            ImGui::TextColored(kBad, "failed");
        } else if (record.conclusionCount == 0) {
            ImGui::TextColored(kQuiet, "none");
        } else {
            char text[128] = {};
            size_t used = 0;
            for (int32_t i = 0; i < record.KeptConclusions() && used < sizeof text; ++i) {
                const int n = std::snprintf(text + used, sizeof text - used, "%s%s",
                                            i > 0 ? " " : "", ShortConclusion(record.conclusions[i]));
                if (n > 0) used += static_cast<size_t>(n);
            }
            ImGui::TextUnformatted(text);
        }
    }
    ImGui::EndTable();
}
