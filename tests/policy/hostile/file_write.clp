; A rule that writes a file, then concludes: no file may appear.
(deftemplate world (slot food_supply) (slot change_FS))
(deftemplate colony (slot food_reserves) (slot population) (slot change_FR) (slot num_gathering_ants))
(defrule write (world) => (if (open "file-written.txt" out "w") then (printout out "x" crlf) (close out)) (assert (lower_population)))
