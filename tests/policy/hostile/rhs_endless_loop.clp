; A rule whose action never ends: the 10,000-firing bound cannot see it.
(deftemplate world (slot food_supply) (slot change_FS))
(deftemplate colony (slot food_reserves) (slot population) (slot change_FR) (slot num_gathering_ants))
(defrule spin (world) => (while TRUE do (bind ?x 1)))
