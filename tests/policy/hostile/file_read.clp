; A rule that reads a file and concludes only if it could.
(deftemplate world (slot food_supply) (slot change_FS))
(deftemplate colony (slot food_reserves) (slot population) (slot change_FR) (slot num_gathering_ants))
(defrule peek (world) => (if (open "/etc/passwd" secret "r") then (assert (over_using_food))) (assert (raise_population)))
