; A rule that prints a great deal, then concludes.
(deftemplate world (slot food_supply) (slot change_FS))
(deftemplate colony (slot food_reserves) (slot population) (slot change_FR) (slot num_gathering_ants))
(defrule chatter (world) => (loop-for-count (?i 1 20000) do (printout t "chatter chatter chatter" crlf)) (assert (raise_population)))
