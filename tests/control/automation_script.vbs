' Drives the control library's automation classes by ProgID and by member
' name, as a web page's script would. Prints one line per failed check and
' ends with the number of failures as its exit code (the script host of
' Wine says nothing about an uncaught error, so every call is checked).
Option Explicit
On Error Resume Next
Dim failures : failures = 0

Sub Check(ok, what)
    If Not ok Then
        WScript.Echo "FAILED: " & what
        failures = failures + 1
    End If
End Sub

' The error number of the last call, cleared for the next one.
Function TakeError()
    TakeError = Err.Number
    Err.Clear
End Function

Dim conv : Set conv = CreateObject("PlovexActiveXCtrl.Converter")
Check TakeError() = 0 And IsObject(conv), "Converter created by its ProgID"

' Defaults.
Check conv.Rotation = 0, "Rotation starts at 0"
Check conv.TargetType = "TIFF", "TargetType starts as TIFF"
Check conv.Compression = 0, "Compression starts at 0"
Check conv.Quality = 80, "Quality starts at 80"
Check conv.Layout = 2, "Layout starts at 2"
Check conv.ImageDescription = "", "ImageDescription starts empty"
Check TakeError() = 0, "the defaults read without error"

' Turns are kept as 0 to 359, however far below zero they start.
conv.Rotation = -90 : Check TakeError() = 0 And conv.Rotation = 270, "Rotation -90 reads back 270"
conv.Rotation = 450 : Check conv.Rotation = 90, "Rotation 450 reads back 90"
conv.Rotation = -1000 : Check conv.Rotation = 80, "Rotation -1000 reads back 80"
conv.Rotation = -2147483647 - 1 : Check TakeError() = 0 And conv.Rotation = 232, "Rotation at the lower integer limit"
conv.Rotation = 2147483647 : Check TakeError() = 0 And conv.Rotation = 127, "Rotation at the integer limit"

' Invalid values raise an error (invalid argument: 5) and change nothing.
conv.Quality = 101 : Check TakeError() = 5, "Quality 101 raises an error"
Check conv.Quality = 80, "Quality unchanged after 101"
conv.Quality = -1 : Check TakeError() = 5, "Quality -1 raises an error"
conv.Quality = 100 : Check TakeError() = 0 And conv.Quality = 100, "Quality 100 accepted"
conv.Compression = 2 : Check TakeError() = 5 And conv.Compression = 0, "Compression 2 refused"
conv.Compression = 1 : Check TakeError() = 0 And conv.Compression = 1, "Compression 1 accepted"
conv.Layout = 0 : Check TakeError() = 5, "Layout 0 refused"
conv.Layout = 5 : Check TakeError() = 5 And conv.Layout = 2, "Layout 5 refused"
conv.Layout = 4 : Check TakeError() = 0 And conv.Layout = 4, "Layout 4 accepted"
conv.TargetType = "pdf" : Check TakeError() = 0 And conv.TargetType = "PDF", "TargetType pdf reads back PDF"
conv.TargetType = "Tiff" : Check conv.TargetType = "TIFF", "TargetType Tiff reads back TIFF"
conv.TargetType = "jpeg" : Check TakeError() = 5 And conv.TargetType = "TIFF", "TargetType jpeg refused"
conv.TargetType = "" : Check TakeError() = 5, "an empty TargetType refused"
conv.ImageDescription = "Plan 7" : Check conv.ImageDescription = "Plan 7", "ImageDescription reads back"

' Four extra tags fit; a fifth, or an id beyond 16 bits, does not.
Check conv.AddTiffStringTag(65536, "x") = False, "tag id 65536 refused"
Check conv.AddTiffStringTag(-1, "x") = False, "a negative tag id refused"
Check conv.AddTiffStringTag(256, "x") = False, "ImageWidth refused as a text tag"
Dim i
For i = 1 To 4
    Check conv.AddTiffStringTag(65000 + i, "text " & i) = True, "tag " & i & " accepted"
Next
Check conv.AddTiffStringTag(65005, "five") = False, "a fifth tag refused"
Check TakeError() = 0, "AddTiffStringTag answers without error"

' An unbound converter has no document: Convert fails (E_FAIL), an empty
' target name is an invalid argument.
Dim written : written = conv.Convert("C:\never-written.tif")
Check TakeError() = &H80004005, "an unbound Convert raises E_FAIL"
written = conv.Convert("")
Check TakeError() = 5, "Convert to an empty name raises an invalid argument"

' An unbound document answers its failure values for every member.
Dim doc : Set doc = CreateObject("PlovexActiveXCtrl.Document")
Check TakeError() = 0 And IsObject(doc), "Document created by its ProgID"
Check doc.ID = -1, "ID of an unbound document"
Check IsEmpty(doc.Name) Or doc.Name = "", "Name of an unbound document"
Check doc.Type = 0, "Type of an unbound document"
Check IsEmpty(doc.FileName) Or doc.FileName = "", "FileName of an unbound document"
Check doc.PageIndex = -1, "PageIndex of an unbound document"
Check doc.WidthMM = 0 And doc.HeightMM = 0, "page size of an unbound document"
Check doc.IsInverted = False And doc.IsFlippedX = False And doc.IsFlippedY = False, "flags of an unbound document"
Check doc.Rotation = 0, "Rotation of an unbound document"
Check doc.SetInverted(True) = False, "SetInverted of an unbound document"
Check doc.SetFlipX(True) = False And doc.SetFlipY(True) = False, "the mirrors of an unbound document"
Check doc.SetRotation(90) = False, "SetRotation of an unbound document"
Check doc.SetZoomRect(0, 0, 10, 10) = False, "SetZoomRect of an unbound document"
Check doc.Zoom(2) = False, "Zoom of an unbound document"
Check doc.SubDocCount = 0, "SubDocCount of an unbound document"
Check doc.GetSubDoc(0) Is Nothing, "GetSubDoc of an unbound document"
Check doc.Convert(True) Is Nothing, "Convert of an unbound document"
Check TakeError() = 0, "an unbound document answers without error"

' A member the interface does not have is an error, not a crash.
doc.NoSuchMember
Check TakeError() = 438, "an unknown member raises error 438"

' The control's class exists before any container hosts it.
Dim ctrl : Set ctrl = CreateObject("PlovexActiveXCtrl.PlovexCtrl")
Check TakeError() = 0 And IsObject(ctrl), "PlovexCtrl created by its ProgID"
Check ctrl.GetCurrentDocumentID() = -1, "no current document before the viewer runs"
Check ctrl.FileOpen("C:\x.tif", "", "") = -1, "FileOpen before the viewer runs"
Check ctrl.GetViewMode(1) = -1, "GetViewMode before the viewer runs"
Check ctrl.GetDocument(1) Is Nothing, "GetDocument before the viewer runs"
Check TakeError() = 0, "the control's methods answer without error"

Set conv = Nothing
Set doc = Nothing
Set ctrl = Nothing
WScript.Echo "checks done"
WScript.Quit failures
