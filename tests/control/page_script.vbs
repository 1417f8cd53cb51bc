' A page's script against the hosted control: it opens a drawing, reads
' its document and pages, changes the view of its pages and converts it to
' TIFF and PDF. The test puts the constants kDrawing (the drawing) and kOut
' (a folder) in front, calls the procedures in turn as a page's handlers
' would, and reads the globals; failures collects what did not hold.
Option Explicit
Dim failures, documentId, subDocCount, widthMM, heightMM, fileName
failures = ""

Sub Check(ok, what)
    If Not ok Then failures = failures & what & vbLf
End Sub

Sub OpenDrawing()
    documentId = Plovex.FileOpen(kDrawing, "", "")
    Check documentId >= 0, "FileOpen gives the document's id"
End Sub

Function Loaded()
    Loaded = Plovex.GetDocument(documentId).SubDocCount = 2
End Function

Sub ReadAndConvert()
    Dim doc : Set doc = Plovex.GetDocument(documentId)
    subDocCount = doc.SubDocCount
    fileName = doc.FileName
    Check doc.ID = documentId, "the document's ID"
    Check doc.GetSubDoc(2) Is Nothing, "no third page"

    Dim first : Set first = doc.GetSubDoc(0)
    Dim second : Set second = doc.GetSubDoc(1)
    widthMM = first.WidthMM
    heightMM = first.HeightMM
    Check first.PageIndex = 0 And second.PageIndex = 1, "the pages' indexes"
    Check Plovex.SetPage(documentId, 1) And Plovex.GetCurrentDocumentID() = second.ID, "SetPage shows the second page"

    ' The first page turned, the second mirrored; inversion set and cleared.
    Check first.SetRotation(90) And first.Rotation = 90, "SetRotation 90"
    Check first.SetRotation(45) = False And first.Rotation = 90, "SetRotation 45 refused"
    Check second.SetFlipX(True) And second.IsFlippedX, "SetFlipX"
    Check second.SetFlipY(True) And second.IsFlippedY And second.SetFlipY(False), "SetFlipY on and off"
    Check second.SetInverted(True) And second.IsInverted And second.SetInverted(False), "SetInverted"
    Check second.SetZoomRect(40, 30, -20, -10), "SetZoomRect with negative sides"
    Check second.Zoom(2), "Zoom"

    ' Converted with the view settings, with a description and a tag.
    Dim withView : Set withView = doc.Convert(True)
    withView.ImageDescription = "Plan 7"
    Check withView.AddTiffStringTag(65000, "Sheet A"), "a custom tag"
    Check withView.AddTiffStringTag(273, "x") = False, "StripOffsets refused as a text tag"
    withView.Layout = 1
    Check withView.Convert(kOut & "\view.tif"), "the view converted to TIFF"

    ' Converted through the control as stored, turned three quarters.
    Dim plain : Set plain = Plovex.ConvertDoc(kDrawing)
    plain.Rotation = -810
    Check plain.Rotation = 270, "Rotation -810 reads back 270"
    Check plain.Convert(kOut & "\turned.tif"), "turned to TIFF"
    plain.TargetType = "pdf"
    Check plain.Convert(kOut & "\turned.pdf"), "turned to PDF"
    plain.TargetType = "TIFF"
    plain.Rotation = 0
    plain.Layout = 4
    Check plain.Convert(kOut & "\tiles.tif"), "tiled with reduced copies"
    Check Plovex.ConvertDoc(kOut & "\missing.tif") Is Nothing, "no converter for a missing file"
End Sub
