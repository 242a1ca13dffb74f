#pragma once

// Which messages the user sees. Level 1 shows everything, 0 only errors, 2 almost nothing;
// a few messages show at every level. Any other stored level shows neither kind.
enum class MessageKind
{
    Information, // level 1 only
    Error,       // levels 1 and 0
    Always,      // every level
};

inline bool messageShown(MessageKind kind, int level)
{
    switch (kind) {
    case MessageKind::Information:
        return level == 1;
    case MessageKind::Error:
        return level == 1 || level == 0;
    case MessageKind::Always:
        return true;
    }
    return false;
}
