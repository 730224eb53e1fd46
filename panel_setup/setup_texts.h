// The panel setup program's own texts, by their string numbers.
#pragma once

namespace kestra::panel::text {

inline constexpr const char* kSheetCaption = "Panel Setup";             // 1811
inline constexpr const char* kNodeColumn = "Node#";                     // 1042
inline constexpr const char* kModelColumn = "Controller Model";         // 1043
inline constexpr const char* kDriverColumn = "Controller Driver";       // 1044
inline constexpr const char* kMarkerColumn = "Marked";                  // 1047
inline constexpr const char* kAllVersions = "All";                      // 9718
inline constexpr const char* kSixteenColours = "16 Colors";             // 9598
inline constexpr const char* kBlackAndWhite = "B/W";                    // 9599
inline constexpr const char* kNetworkIpAddress = "Network IP Address";  // 9720
inline constexpr const char* kBadPanelFile =                            // 9719
    "There was a problem loading the panel descriptor file.  Please verify that the panel file "
    "associated with your panel is located in the Panel subdirectory of the application.";
inline constexpr const char* kBadDisplay =  // 9519
    "The selected panel has invalid display settings.  Please verify that all application "
    "files have been installed.\n\n(Error :  Invalid Display Code:  %d)";
inline constexpr const char* kVersionChange =  // 9520
    "You are changing the panel firmware version number.  Some data may be lost if  the new "
    "version does not support the same data formats as as the existing version.  Do you want "
    "to continue?";
inline constexpr const char* kFewerColumns =
    "You are changing from %d to %d columns display.";                           // 9871
inline constexpr const char* kDataMayBeLost = " Some data may be lost.";         // 9872
inline constexpr const char* kProceedReformat = " Proceed with reformatting ?";  // 9873
inline constexpr const char* kToMonochrome =                                     // 9529
    "You are switching to monochrome display. Some color graphics will lose in quality and "
    "resolution. Continue?";
inline constexpr const char* kTouchOff =  // 9864
    "All touch cells in this project, along with the associated graphics and commands, will be "
    "deleted if this option is turned off.";
inline constexpr const char* kLaunchError = "Error launching panel setup dialog";
inline constexpr const char* kProgramName = "Panora";

}  // namespace kestra::panel::text
